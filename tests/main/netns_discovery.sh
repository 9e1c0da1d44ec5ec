#!/usr/bin/env bash
# Discovery across a real (virtual) network: quorral-till in one network namespace, the Detect
# Hosts window in another, joined by a veth pair. The probe must reach the till by broadcast and
# its reply must be listed. Nothing leaves the two namespaces this script creates.
# Usage: netns_discovery.sh QUORRAL_TILL WIDGET_TESTS
set -u
till=$1
tests=$2
skip() { echo "SKIPPED: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || skip "creating network namespaces needs root"
command -v ip >/dev/null || skip "the ip tool (iproute2) is missing"

id=$$
tillns=quorral-till-$id
pcns=quorral-pc-$id
root=$(mktemp -d)
tillpid=
cleanup() {
  [ -n "$tillpid" ] && kill "$tillpid" 2>/dev/null && wait "$tillpid" 2>/dev/null
  ip netns del "$tillns" 2>/dev/null
  ip netns del "$pcns" 2>/dev/null
  rm -rf "$root"
}
trap cleanup EXIT

ip netns add "$tillns" 2>/dev/null || skip "network namespaces are not available here"
ip netns add "$pcns" || skip "network namespaces are not available here"
ip link add "qt$id" type veth peer name "qp$id" || skip "veth pairs are not available here"
ip link set "qt$id" netns "$tillns"
ip link set "qp$id" netns "$pcns"
ip -n "$tillns" addr add 10.197.0.1/24 dev "qt$id"
ip -n "$pcns" addr add 10.197.0.2/24 dev "qp$id"
for ns in "$tillns" "$pcns"; do
  ip -n "$ns" link set lo up
done
ip -n "$tillns" link set "qt$id" up
ip -n "$pcns" link set "qp$id" up

# Bound to every address of its namespace, the responder hears broadcasts.
ip netns exec "$tillns" "$till" --root "$root" --host 0.0.0.0 --quiet --hostname e2e-till &
tillpid=$!
sleep 0.5
ip netns exec "$pcns" env QUORRAL_E2E_TILL=10.197.0.1 QT_QPA_PLATFORM=offscreen \
  "$tests" --gtest_filter='DiscoveryEndToEnd.*'

#pragma once

class QApplication;

namespace quorral {

// A light, Office-like blue look for every window of the program.
void ApplyOfficeLook(QApplication& application);

} // namespace quorral

#include "xml/XMLParser.h"

#include "xml/XMLText.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <system_error>
#include <utility>

namespace quorral {
namespace {

// What the reader keeps of each piece; whatever stands beyond is read and dropped.
constexpr std::size_t ElementNameLimit = 40;
constexpr std::size_t AttributeNameLimit = 30;
constexpr std::size_t AttributeValueLimit = 100;
constexpr std::size_t TextRunLimit = 100000;
constexpr std::size_t ReferenceNameLimit = 100;
constexpr std::size_t DeclarationLimit = 999;
constexpr std::size_t EntityNameLimit = 31;

// An element with more attributes than this gets a name index while its start tag is read, so
// that a start tag with thousands of attributes still parses in linear time.
constexpr std::size_t IndexedAttributeCount = 16;

using xmltext::IsWhite;
using xmltext::ToUpper;
using xmltext::Trace;

// Where a name, an end-tag name or a reference name stops.
constexpr bool EndsName(char c)
{
    return IsWhite(c) || c == '>' || c == '=' || c == '<' || c == '/';
}

using ByteTable = std::array<bool, 256>;

// The bytes that interrupt a stretch of plain bytes in a name and in character data.
constexpr ByteTable NameStops = [] {
    ByteTable stops{};
    for (int c = 0; c < 256; ++c) {
        stops[static_cast<std::size_t>(c)] = c == '\0' || c == '&' || EndsName(static_cast<char>(c));
    }
    return stops;
}();
constexpr ByteTable TextStops = [] {
    ByteTable stops{};
    for (const char c : {'\0', '&', '<', '\t', '\r', '\n'}) {
        stops[static_cast<unsigned char>(c)] = true;
    }
    return stops;
}();

std::string UpperCopy(std::string_view text)
{
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(), ToUpper);
    return upper;
}

// The document is a C string: whatever follows a NUL byte is not part of it.
std::string UpToNul(std::string_view text)
{
    return std::string(text.substr(0, text.find('\0')));
}

std::optional<std::string> ReadDocumentFile(const std::filesystem::path& fileName)
{
    Trace("LOAD XML FILE: ");
    std::error_code error;
    if (!std::filesystem::exists(fileName, error)) {
        Trace("FILE NOT FOUND");
        return std::nullopt;
    }
    std::ifstream in(fileName, std::ios::binary);
    if (!in || std::filesystem::is_directory(fileName, error)) {
        Trace("UNABLE TO OPEN FILE");
        return std::nullopt;
    }
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Read as text: a CR LF pair becomes one LF, on every platform alike.
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')) {
            text.push_back(bytes[i]);
        }
    }
    return UpToNul(text);
}

// The first occurrence of marker at or after from. "<" is the commonest byte of a reply, so the search
// keys on the byte after it (or on the marker's first byte when that is not "<").
std::size_t FindMarker(std::string_view text, std::size_t from, std::string_view marker)
{
    const std::size_t anchor = marker.front() == '<' ? 1 : 0;
    for (std::size_t at = from + anchor; (at = text.find(marker[anchor], at)) != std::string_view::npos;
         ++at) {
        if (text.substr(at - anchor, marker.size()) == marker) {
            return at - anchor;
        }
    }
    return std::string_view::npos;
}

// Overwrites processing instructions (the XML declaration among them), then comments, with spaces of
// the same length, wherever they stand, before anything else reads the document. The closing marker
// is searched from the opening one itself, so "<?>" and "<!-->" are closed.
void BlankSections(std::string& document)
{
    constexpr std::pair<std::string_view, std::string_view> Sections[] = {{"<?", "?>"}, {"<!--", "-->"}};
    for (const auto& [open, close] : Sections) {
        // A blanked section holds no marker, so each search can go on where the last section ended.
        std::size_t from = 0;
        for (;;) {
            const std::size_t start = FindMarker(document, from, open);
            if (start == std::string::npos) {
                break;
            }
            const std::size_t closeAt = FindMarker(document, start, close);
            if (closeAt == std::string::npos) {
                break;
            }
            from = closeAt + close.size();
            std::fill(document.begin() + static_cast<std::ptrdiff_t>(start),
                      document.begin() + static_cast<std::ptrdiff_t>(from), ' ');
        }
    }
}

// Hexadecimal digits only, read modulo 2^32; an empty text or any other byte gives 0.
std::uint32_t ReadHex(std::string_view digits)
{
    std::uint32_t value = 0;
    for (const char c : digits) {
        std::uint32_t digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<std::uint32_t>(c - '0');
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<std::uint32_t>(c - 'A' + 10);
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<std::uint32_t>(c - 'a' + 10);
        } else {
            return 0;
        }
        value = value * 16 + digit;
    }
    return value;
}

// The byte that "&#...;" stands for (its number's low 8 bits); 0 when it stands for none.
char CharacterReference(std::string_view name)
{
    std::uint32_t number = 0;
    if (name.size() >= 2 && (name[1] == 'x' || name[1] == 'X')) {
        number = ReadHex(name.substr(2));
    } else {
        number = static_cast<std::uint32_t>(xmltext::ReadDecimal(name.substr(1)));
    }
    return static_cast<char>(number & 0xFF);
}

std::string_view PredefinedEntity(std::string_view name)
{
    constexpr std::pair<std::string_view, std::string_view> Predefined[] = {
        {"amp", "&"}, {"apos", "'"}, {"quot", "\""}, {"lt", "<"}, {"gt", ">"}};
    for (const auto& [entity, replacement] : Predefined) {
        if (xmltext::EqualsNoCase(name, entity)) {
            return replacement;
        }
    }
    return {};
}

} // namespace

// One forward pass over a prepared document (sections blanked, entities collected) that fills a
// root node. Elements are parsed with an explicit stack of open elements rather than by recursion,
// so no nesting depth can exhaust the call stack.
class CXMLParser::CDocumentReader
{
public:
    CDocumentReader(const std::string& document, const CXMLParser& entityOwner, CXMLNodeStore& nodes)
        : FCursor(document.c_str()), FEntityOwner(entityOwner), FNodes(nodes)
    {}

    void ParseTree(CXMLNode& root)
    {
        std::vector<CXMLNode*> open;
        CXMLNode* element = &root;
        for (;;) {
            if (ParseStartTag(*element)) {
                open.push_back(element);
            }
            element = nullptr;
            while (!open.empty() && element == nullptr) {
                if (ParseContent(*open.back())) {
                    Trace("PARSE NEW CHILD NODE");
                    element = &FNodes.NewNode(open.back());
                } else {
                    open.pop_back();
                }
            }
            if (element == nullptr) {
                return;
            }
        }
    }

private:
    enum class Mode { Name, Text };

    bool AtEnd() const { return *FCursor == '\0'; }

    void SkipWhite()
    {
        while (IsWhite(*FCursor)) {
            ++FCursor;
        }
    }

    // Reads an element or attribute name (upper-cased) or a run of character data into destination.
    // Plain bytes are taken a stretch at a time; the loop stops for references, for the bytes that
    // text turns into spaces, and for what ends the token.
    void ReadToken(std::string& destination, std::size_t limit, Mode mode)
    {
        const auto& stops = mode == Mode::Name ? NameStops : TextStops;
        destination.clear();
        for (;;) {
            const char* stretch = FCursor;
            while (!stops[static_cast<unsigned char>(*FCursor)]) {
                ++FCursor;
            }
            const std::size_t kept =
                std::min(static_cast<std::size_t>(FCursor - stretch), limit - destination.size());
            if (mode == Mode::Name) {
                const std::size_t at = destination.size();
                destination.resize(at + kept);
                std::transform(stretch, stretch + kept, destination.begin() + static_cast<std::ptrdiff_t>(at),
                               ToUpper);
            } else {
                destination.append(stretch, kept);
            }

            const char c = *FCursor;
            if (c == '&') {
                ResolveEntity(destination, limit - destination.size());
            } else if (mode == Mode::Text && (c == '\t' || c == '\r' || c == '\n')) {
                if (destination.size() < limit) {
                    destination.push_back(' ');
                }
                ++FCursor;
            } else {
                return;
            }
        }
    }

    // Resolves the reference whose "&" is under the cursor and appends what it stands for, cut to
    // room. An undeclared name, a system entity or an empty reference give nothing, and a delimiter
    // that ends the name early is passed over with it: "a & b" reads as "a b".
    void ResolveEntity(std::string& destination, std::size_t room)
    {
        ++FCursor;
        std::string name;
        while (!AtEnd() && *FCursor != ';' && name.size() < ReferenceNameLimit) {
            if (EndsName(*FCursor)) {
                ++FCursor;
                break;
            }
            name.push_back(*FCursor++);
        }
        if (*FCursor == ';') {
            ++FCursor;
        }
        if (name.empty()) {
            return;
        }

        std::string_view replacement = PredefinedEntity(name);
        char single = '\0';
        if (replacement.empty() && name.front() == '#') {
            single = CharacterReference(name);
            if (single != '\0') {
                replacement = std::string_view(&single, 1);
            }
        }
        if (replacement.empty()) {
            if (const CXMLEntity* entity = FEntityOwner.FindEntity(name)) {
                replacement = entity->Expand(room);
            }
        }
        destination.append(replacement.substr(0, room));
    }

    // Reads the start tag at or after the cursor into element. True when content follows it; false
    // for an empty element, and when the document ends before or inside the tag.
    bool ParseStartTag(CXMLNode& element)
    {
        // Declarations ("<!DOCTYPE", "<!ENTITY", CDATA) are stepped over byte by byte.
        while (!AtEnd() && !(*FCursor == '<' && FCursor[1] != '!')) {
            ++FCursor;
        }
        if (AtEnd()) {
            return false;
        }
        ++FCursor;
        ReadToken(element.Name, ElementNameLimit, Mode::Name);
        Trace("NEW NODE: ", element.Name);
        SkipWhite();

        if (*FCursor == '/') {
            ++FCursor;
            if (*FCursor == '>') {
                ++FCursor;
                Trace("END THIS NODE");
                return false;
            }
        }
        if (*FCursor == '>') {
            Trace("ON CLOSE TAG, NO ATTRIBUTES FOUND");
            return true;
        }

        SkipWhite();
        while (!AtEnd()) {
            ReadToken(FAttributeName, AttributeNameLimit, Mode::Name);
            Trace("NEW ATTRIBUTE: ", FAttributeName);
            // Whatever stands before the opening quote, "=" and white space or not, is dropped.
            while (!AtEnd() && *FCursor != '"' && *FCursor != '\'') {
                ++FCursor;
            }
            if (AtEnd()) {
                return false;
            }
            const char quote = *FCursor++;
            FAttributeValue.clear();
            while (!AtEnd() && *FCursor != quote) {
                if (*FCursor == '&') {
                    ResolveEntity(FAttributeValue, AttributeValueLimit - FAttributeValue.size());
                } else {
                    if (FAttributeValue.size() < AttributeValueLimit) {
                        FAttributeValue.push_back(*FCursor);
                    }
                    ++FCursor;
                }
            }
            if (AtEnd()) {
                return false;
            }
            ++FCursor;
            Trace("VALUE: ", FAttributeValue);
            StoreAttribute(element);

            SkipWhite();
            if (*FCursor == '/') {
                while (!AtEnd() && *FCursor != '>') {
                    ++FCursor;
                }
                if (!AtEnd()) {
                    ++FCursor;
                }
                Trace("END OF ELEMENT");
                return false;
            }
            if (*FCursor == '>') {
                Trace("ELEMENT CLOSE TAG FOUND");
                return true;
            }
        }
        return false;
    }

    // Reads element's content from the cursor. True when a child element starts at the cursor; false
    // when element has ended: at its end tag, whatever name that carries, or at the end of the
    // document. Every run of character data replaces element's Text.
    bool ParseContent(CXMLNode& element)
    {
        while (!AtEnd()) {
            if (*FCursor == '>') {
                ++FCursor;
            }
            SkipWhite();
            if (*FCursor != '<') {
                ReadToken(element.Text, TextRunLimit, Mode::Text);
                if (!element.Text.empty()) {
                    Trace("ELEMENT INNER TEXT: ", element.Text);
                }
            }
            SkipWhite();
            if (AtEnd()) {
                return false;
            }
            if (FCursor[1] == '/') {
                FCursor += 2;
                ReadToken(FEndTagName, ElementNameLimit, Mode::Name);
                Trace("CLOSE OF ELEMENT:", FEndTagName);
                if (!xmltext::EqualsNoCase(FEndTagName, element.Name)) {
                    Trace("ERROR, CLOSING ELEMENT TAG IS NOT THIS ELEMENT!!!!");
                    Trace("EXPECTING: ", element.Name);
                    Trace("BUT GOT: ", FEndTagName);
                }
                // The cursor stays on what ended the name, as a rule the ">" that the enclosing
                // element's content loop passes over.
                Trace("END THIS NODE");
                return false;
            }
            return true;
        }
        return false;
    }

    // Stores the attribute just read; a later attribute of the same (upper-cased) name replaces the
    // value of the earlier one.
    void StoreAttribute(CXMLNode& element)
    {
        auto& attributes = element.Attributes;
        if (attributes.size() < IndexedAttributeCount) {
            element.SetAttribute(FAttributeName, FAttributeValue);
            return;
        }
        if (FIndexedElement != &element) {
            FIndexedElement = &element;
            FAttributeIndex = {};
            for (std::size_t i = 0; i < attributes.size(); ++i) {
                FAttributeIndex.emplace(attributes[i].Name, i);
            }
        }
        const auto [at, added] = FAttributeIndex.try_emplace(FAttributeName, attributes.size());
        if (added) {
            attributes.push_back({FAttributeName, FAttributeValue});
        } else {
            attributes[at->second].Value = FAttributeValue;
        }
    }

    const char* FCursor;
    const CXMLParser& FEntityOwner;
    CXMLNodeStore& FNodes;
    std::string FAttributeName;
    std::string FAttributeValue;
    std::string FEndTagName;
    const CXMLNode* FIndexedElement = nullptr;
    std::unordered_map<std::string, std::size_t> FAttributeIndex;
};

CXMLParser::CXMLParser(std::string_view text) : CXMLParser(nullptr, nullptr, UpToNul(text))
{}

CXMLParser::CXMLParser(const std::filesystem::path& fileName, const CXMLParser* outer, CXMLNode* attachTo,
                       const char* text)
    : CXMLParser(outer, attachTo,
                 text != nullptr ? std::optional<std::string>(text) : ReadDocumentFile(fileName))
{}

CXMLParser::CXMLParser(const CXMLParser* outer, CXMLNode* attachTo, std::optional<std::string> document)
    : FOuter(outer)
{
    if (!document) {
        return;
    }
    FDocument = std::move(*document);
    BlankSections(FDocument);
    CollectEntities(FDocument);
    auto store = std::make_unique<CXMLNodeStore>();
    CXMLNodeStore& nodes = *store;
    FRoot = &nodes.NewNode(attachTo);
    if (attachTo != nullptr) {
        CXMLNodeStore::Attach(std::move(store), *attachTo);
    } else {
        FNodes = std::move(store);
    }
    CDocumentReader(FDocument, FOuter != nullptr ? *FOuter : *this, nodes).ParseTree(*FRoot);
}

CXMLParser::~CXMLParser() = default;

// Every declaration anywhere in the document is collected before the parse, so a reference resolves
// wherever its declaration stands. A ">" inside a quoted value ends the declaration early.
void CXMLParser::CollectEntities(std::string_view document)
{
    constexpr std::string_view Keyword = "<!ENTITY";
    std::size_t from = 0;
    for (;;) {
        const std::size_t start = FindMarker(document, from, Keyword);
        if (start == std::string_view::npos) {
            return;
        }
        const std::size_t end = document.find('>', start);
        if (end == std::string_view::npos) {
            return;
        }
        FEntities.emplace_back(document.substr(start, std::min(end - start + 1, DeclarationLimit)));
        FEntityIndex.try_emplace(UpperCopy(FEntities.back().Name), FEntities.size() - 1);
        from = end;
    }
}

const CXMLEntity* CXMLParser::FindEntity(std::string_view name) const
{
    if (name.size() > EntityNameLimit) {
        return nullptr;
    }
    const auto found = FEntityIndex.find(UpperCopy(name));
    return found == FEntityIndex.end() ? nullptr : &FEntities[found->second];
}

const char* CXMLParser::GetAttribute(const CXMLNode* node, std::string_view name, const char* defaultValue)
{
    Trace("ATTRIBUTE REQUESTED: ", name);
    if (node == nullptr) {
        Trace("NULL NODE, DEFAULT VALUE RETURNED");
        return defaultValue;
    }
    for (const auto& attribute : node->Attributes) {
        if (xmltext::EqualsNoCase(attribute.Name, name)) {
            Trace("ATTRIBUTE FOUND: ", attribute.Value);
            return attribute.Value.c_str();
        }
    }
    Trace("ATTRIBUTE NOT FOUND, DEFAULT RETURNED");
    return defaultValue;
}

std::int32_t CXMLParser::GetAttributeInt(const CXMLNode* node, std::string_view name,
                                         std::int32_t defaultValue)
{
    const char* value = GetAttribute(node, name, nullptr);
    return value == nullptr ? defaultValue : xmltext::ReadDecimal(value);
}

} // namespace quorral

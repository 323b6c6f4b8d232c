// The ini document: lines kept as read, looked up and edited by the profile functions' rules.
#include "settings/ini_document.h"

#include <cstdint>
#include <numeric>

#include "base/text.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// What the profile functions skip around names and values.
constexpr std::string_view kBlanks = " \t\r\v\f";

constexpr bool IsBlank(char c) {
    return kBlanks.find(c) != std::string_view::npos;
}

constexpr char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool NamesMatch(std::string_view a, std::string_view b) {
    a = Trim(a, kBlanks);
    b = Trim(b, kBlanks);
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

// What one line is, with the value's place in it for key lines.
struct LineParts {
    enum class Kind { Blank, Section, Key };
    Kind kind = Kind::Blank;
    std::string_view name;
    bool hasEquals = false;
    std::size_t valueBegin = 0;  // offsets into the line's content
    std::size_t valueEnd = 0;
};

LineParts Classify(std::string_view content) {
    std::size_t begin = 0;
    std::size_t end = content.size();
    while (begin < end && IsBlank(content[begin])) {
        ++begin;
    }
    while (end > begin && IsBlank(content[end - 1])) {
        --end;
    }
    LineParts parts;
    if (begin == end) {
        return parts;
    }
    // A section name runs to the last closing bracket; without one the line is a key.
    if (content[begin] == '[') {
        const std::size_t close = content.substr(0, end).rfind(']');
        if (close != std::string_view::npos && close > begin) {
            parts.kind = LineParts::Kind::Section;
            parts.name = Trim(content.substr(begin + 1, close - begin - 1), kBlanks);
            return parts;
        }
    }
    parts.kind = LineParts::Kind::Key;
    const std::size_t equals = content.substr(0, end).find('=', begin);
    if (equals == std::string_view::npos) {
        parts.name = content.substr(begin, end - begin);
        parts.valueBegin = parts.valueEnd = end;
        return parts;
    }
    parts.name = Trim(content.substr(begin, equals - begin), kBlanks);
    parts.hasEquals = true;
    std::size_t valueBegin = equals + 1;
    while (valueBegin < end && IsBlank(content[valueBegin])) {
        ++valueBegin;
    }
    parts.valueBegin = valueBegin;
    parts.valueEnd = end;
    return parts;
}

}  // namespace

IniDocument IniDocument::Parse(std::string_view bytes) {
    IniDocument document;
    bool newlineChosen = false;
    while (!bytes.empty()) {
        const std::size_t feed = bytes.find('\n');
        const std::size_t length = feed == std::string_view::npos ? bytes.size() : feed + 1;
        std::string_view line = bytes.substr(0, length);
        if (!newlineChosen && line.back() == '\n') {
            // Lines added later end the way the file's first line does.
            document.m_newline =
                (line.size() >= 2 && line[line.size() - 2] == '\r') ? "\r\n" : "\n";
            newlineChosen = true;
        }
        document.m_lines.emplace_back(line);
        bytes.remove_prefix(length);
    }
    return document;
}

std::string IniDocument::Serialize() const {
    std::string bytes;
    bytes.reserve(std::accumulate(
        m_lines.begin(), m_lines.end(), std::size_t{0},
        [](std::size_t size, const std::string& line) { return size + line.size(); }));
    for (const std::string& line : m_lines) {
        bytes += line;
    }
    return bytes;
}

std::size_t IniDocument::ContentOffset(std::size_t i) const {
    return (i == 0 && std::string_view(m_lines[0]).starts_with(kByteOrderMark))
               ? kByteOrderMark.size()
               : 0;
}

std::string_view IniDocument::Content(std::size_t i) const {
    std::string_view line = m_lines[i];
    if (!line.empty() && line.back() == '\n') {
        line.remove_suffix(1);
    }
    line.remove_prefix(ContentOffset(i));
    return line;
}

std::optional<std::size_t> IniDocument::FindSection(std::string_view section) const {
    for (std::size_t i = 0; i < m_lines.size(); ++i) {
        const LineParts parts = Classify(Content(i));
        if (parts.kind == LineParts::Kind::Section && NamesMatch(parts.name, section)) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<std::string_view> IniDocument::GetValue(std::string_view section,
                                                      std::string_view key) const {
    const std::optional<std::size_t> header = FindSection(section);
    if (!header) {
        return std::nullopt;
    }
    for (std::size_t i = *header + 1; i < m_lines.size(); ++i) {
        const std::string_view content = Content(i);
        const LineParts parts = Classify(content);
        if (parts.kind == LineParts::Kind::Section) {
            break;
        }
        if (parts.kind == LineParts::Kind::Key && NamesMatch(parts.name, key)) {
            return content.substr(parts.valueBegin, parts.valueEnd - parts.valueBegin);
        }
    }
    return std::nullopt;
}

void IniDocument::EnsureLineEnd(std::size_t i) {
    std::string& line = m_lines[i];
    if (line.empty() || line.back() != '\n') {
        // A last line cut after its carriage return only needs the feed.
        line += (!line.empty() && line.back() == '\r' && m_newline == "\r\n") ? "\n" : m_newline;
    }
}

void IniDocument::SetValue(std::string_view section, std::string_view key, std::string_view value) {
    std::string keyLine = std::string(key) + "=" + std::string(value) + m_newline;
    const std::optional<std::size_t> header = FindSection(section);
    if (!header) {
        if (!m_lines.empty()) {
            EnsureLineEnd(m_lines.size() - 1);
        }
        m_lines.push_back("[" + std::string(section) + "]" + m_newline);
        m_lines.push_back(std::move(keyLine));
        return;
    }
    // New keys go after the section's last non-blank line, so blank lines that
    // set off the next section stay where they are.
    std::size_t last = *header;
    for (std::size_t i = *header + 1; i < m_lines.size(); ++i) {
        const LineParts parts = Classify(Content(i));
        if (parts.kind == LineParts::Kind::Section) {
            break;
        }
        if (parts.kind == LineParts::Kind::Blank) {
            continue;
        }
        last = i;
        if (NamesMatch(parts.name, key)) {
            const std::size_t offset = ContentOffset(i);
            if (parts.hasEquals) {
                m_lines[i].replace(offset + parts.valueBegin, parts.valueEnd - parts.valueBegin,
                                   value);
            } else {
                m_lines[i].insert(offset + parts.valueEnd, "=" + std::string(value));
            }
            return;
        }
    }
    EnsureLineEnd(last);
    m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(last + 1), std::move(keyLine));
}

std::string_view ProfileTextFromValue(std::optional<std::string_view> value) {
    std::string_view text = value.value_or(std::string_view{});
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
        text.back() == text.front()) {
        text = text.substr(1, text.size() - 2);
    }
    return text;
}

int ProfileIntFromValue(std::optional<std::string_view> value, int defaultValue) {
    const std::string_view text = ProfileTextFromValue(value);
    if (text.empty()) {
        return defaultValue;
    }
    std::size_t i = 0;
    while (i < text.size() && static_cast<unsigned char>(text[i]) <= ' ') {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Unsigned arithmetic wraps as the profile functions' parser does, with no overflow.
    std::uint32_t total = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        total = total * 10u + static_cast<std::uint32_t>(text[i] - '0');
    }
    if (negative) {
        total = 0u - total;
    }
    return static_cast<int>(total);
}

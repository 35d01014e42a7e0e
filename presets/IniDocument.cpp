#include "presets/IniDocument.h"

#include <utility>

#include "presets/BoundedText.h"
#include "presets/Utf8Text.h"

namespace {

// text without the white space at either end.
std::string Trimmed(const std::string& text) {
    size_t begin = 0, end = text.size();
    for (size_t next = begin; begin < end && IsIniSpace(NextCodePoint(text, &next)); next = begin) begin = next;
    while (end > begin) {
        const size_t start = PreviousCodePointStart(text, end);
        size_t at = start;
        if (!IsIniSpace(NextCodePoint(text, &at))) break;
        end = start;
    }
    return text.substr(begin, end - begin);
}

bool Enclosed(const std::string& value) {
    return value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0];
}

}  // namespace

bool IsIniSpace(char32_t c) {
    return c == ' ' || (c >= '\t' && c <= '\r') || c == 0x1A || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

std::string IniValueText(const std::string& value) {
    std::string text = value;
    for (char& c : text) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    if (!text.empty() && (Trimmed(text).size() != text.size() || Enclosed(text))) text = '"' + text + '"';
    return text;
}

CIniDocument::Line CIniDocument::MakeLine(const std::string& text) {
    Line line;
    line.text = text;
    const std::string trimmed = Trimmed(text);
    const size_t equals = trimmed.find('=');
    line.key = Trimmed(trimmed.substr(0, equals));
    if (equals != std::string::npos) {
        line.value = Trimmed(trimmed.substr(equals + 1));
        line.hasValue = true;
    }
    return line;
}

CIniDocument::CIniDocument(const std::string& text) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        m_lastLineCut = end == std::string::npos;
        if (m_lastLineCut) end = text.size();
        std::string raw = text.substr(start, end - start);
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        start = end + 1;
        const std::string trimmed = Trimmed(raw);
        const size_t close = trimmed.rfind(']');
        if (!trimmed.empty() && trimmed[0] == '[' && close != std::string::npos) {
            m_sections.push_back(Section{trimmed.substr(1, close - 1), {Line{raw, {}, {}, false}}});
        } else {
            m_sections.back().lines.push_back(MakeLine(raw));
        }
    }
}

std::string CIniDocument::Text() const {
    size_t size = 0;
    for (const Section& section : m_sections) {
        for (const Line& line : section.lines) size += line.text.size() + 2;
    }
    std::string text;
    text.reserve(size);
    for (const Section& section : m_sections) {
        for (const Line& line : section.lines) text.append(line.text).append("\r\n");
    }
    return text;
}

int CIniDocument::IndexOf(const char* section) const {
    for (size_t i = 1; i < m_sections.size(); ++i) {
        if (CompareNoCase(m_sections[i].name.c_str(), section) == 0) return static_cast<int>(i) - 1;
    }
    return -1;
}

bool CIniDocument::Get(size_t index, const char* key, std::string& value) const {
    const std::vector<Line>& lines = m_sections[index + 1].lines;
    for (size_t i = 1; i < lines.size(); ++i) {
        if (lines[i].key.empty() || CompareNoCase(lines[i].key.c_str(), key) != 0) continue;
        if (!lines[i].hasValue) return false;
        value = Enclosed(lines[i].value) ? lines[i].value.substr(1, lines[i].value.size() - 2) : lines[i].value;
        return true;
    }
    return false;
}

bool CIniDocument::Find(const char* section, const char* key, std::string& value) const {
    const int index = IndexOf(section);
    return index >= 0 && Get(static_cast<size_t>(index), key, value);
}

void CIniDocument::RemoveSections(const std::vector<size_t>& indices) {
    size_t kept = 1, next = 0;
    for (size_t i = 1; i < m_sections.size(); ++i) {
        if (next < indices.size() && indices[next] == i - 1) {
            ++next;
        } else if (kept++ != i) {
            m_sections[kept - 1] = std::move(m_sections[i]);
        }
    }
    m_sections.resize(kept);
}

void CIniDocument::Set(const char* section, const char* key, const std::string& value) {
    const int index = IndexOf(section);
    if (index < 0) {
        AppendSection(section, {{key, value}});
        return;
    }
    std::vector<Line>& lines = m_sections[static_cast<size_t>(index) + 1].lines;
    const Line line = MakeLine(std::string(key) + "=" + IniValueText(value));
    size_t after = 0;   // the header
    for (size_t i = 1; i < lines.size(); ++i) {
        if (CompareNoCase(lines[i].key.c_str(), key) == 0) {
            lines[i] = line;
            return;
        }
        if (!Trimmed(lines[i].text).empty()) after = i;
    }
    lines.insert(lines.begin() + static_cast<long>(after) + 1, line);
}

void CIniDocument::AppendSection(const std::string& name,
                                 const std::vector<std::pair<const char*, std::string>>& keys) {
    const std::vector<Line>& last = m_sections.back().lines;
    if (!last.empty() && !Trimmed(last.back().text).empty()) m_sections.back().lines.push_back(Line{});
    Section section{name, {Line{"[" + name + "]", {}, {}, false}}};
    for (const auto& key : keys) section.lines.push_back(MakeLine(std::string(key.first) + "=" + IniValueText(key.second)));
    m_sections.push_back(std::move(section));
}

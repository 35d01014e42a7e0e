// The text of a preset file as the Windows profile functions read it, kept
// line by line, so that a save changes the lines it means to change and no
// other. Portable; the text is UTF-8 (the Windows side turns the file's
// bytes into it and back, PresetFileText.h).
//
// Reading follows GetPrivateProfileString, so that files written by hand,
// by earlier versions (through the profile functions) and by this class read
// the same way:
//   - lines end at LF; blanks, tabs, CR and the other white space of
//     IsIniSpace are trimmed from both ends of a line;
//   - a line that starts with "[" and holds a "]" is a section header: the
//     name is what lies between the "[" and the last "]", untrimmed;
//   - any other non-empty line is a key: the name up to the first "=", its
//     value after it, both trimmed; a line without "=" is a key without a
//     value (read as absent);
//   - a key is looked up in the first section of its name only, and there
//     its first line counts; section and key names compare with ASCII
//     letters folded; one pair of enclosing quotes (" or ') is removed from
//     the value.
// Values are written so that they read back unchanged (IniValueText).
#pragma once
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// The white space the profile functions trim, by code point.
bool IsIniSpace(char32_t c);

// A value as a line of the file holds it so that reading gives value back:
// a value that starts or ends with white space, or is enclosed in a pair of
// quotes, is written inside double quotes; line breaks become blanks (no
// value can start a line of its own).
std::string IniValueText(const std::string& value);

class CIniDocument {
public:
    CIniDocument() = default;
    // Takes text (UTF-8, without a byte-order mark) apart.
    explicit CIniDocument(const std::string& text);

    // The lines again, each ended with CRLF.
    std::string Text() const;
    // True when the text did not end with a line break: its last line was
    // cut off (this class, like the profile functions, ends every line).
    bool LastLineCut() const { return m_lastLineCut; }

    // The sections in file order (the lines before the first header are no
    // section of their own).
    size_t SectionCount() const { return m_sections.size() - 1; }
    const std::string& SectionName(size_t index) const { return m_sections[index + 1].name; }
    // Whether section index has a line for key with a value; the value,
    // unquoted, goes to value.
    bool Get(size_t index, const char* key, std::string& value) const;
    // The same for the first section named section.
    bool Find(const char* section, const char* key, std::string& value) const;

    void RemoveSection(size_t index) { RemoveSections({index}); }
    // Removes the sections at these indices (ascending) in one pass.
    void RemoveSections(const std::vector<size_t>& indices);
    // Sets key in the first section named section: its first line for key
    // is replaced, or a line added after the section's last non-blank line;
    // a missing section is appended.
    void Set(const char* section, const char* key, const std::string& value);
    // Appends section name with these keys and values, in order, after a
    // blank line.
    void AppendSection(const std::string& name, const std::vector<std::pair<const char*, std::string>>& keys);

private:
    struct Line {
        std::string text;    // as written, without its line break
        std::string key;     // empty for a blank line or a header
        std::string value;   // as written, quotes and all
        bool hasValue = false;
    };
    struct Section {
        std::string name;
        std::vector<Line> lines;   // lines[0]: the header (none for the first part)
    };
    static Line MakeLine(const std::string& text);
    int IndexOf(const char* section) const;

    std::vector<Section> m_sections = std::vector<Section>(1);   // [0]: before the first header
    bool m_lastLineCut = false;
};

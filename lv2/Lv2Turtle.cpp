// zvdelay-lv2-ttl: writes the Turtle files of the LV2 bundle at build time.
//
//   zvdelay-lv2-ttl BUNDLE_DIR FACTORY_INI BINARY_FILE_NAME
//
// Writes BUNDLE_DIR/manifest.ttl (the two plug-ins and their presets),
// BUNDLE_DIR/zvDelay.ttl (plug-ins, ports, units) and BUNDLE_DIR/presets.ttl
// (the factory bank as LV2 presets). The ports come from kParamTable and the
// core's host-facing description (symbols are the table's names; words,
// LV2 units, natural ranges, defaults and labelled values from
// ParamDescription.h and ParamText.h), so no port is described by hand. The
// presets come from the factory bank's [PresetN] sections, read with the
// store's Data-string reader, in natural values; each is labelled
// "Bank / Name".
//
// Exit status: 0 written, 1 a file could not be read or written, 2 usage.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "effect/ParamDescription.h"
#include "effect/ParamText.h"
#include "lv2/Lv2Ports.h"
#include "presets/DataString.h"

using namespace zvlv2;

namespace {

struct FactoryPreset {
    std::string id;     // the N of [PresetN]
    std::string name;
    std::string bank;
    ParamBlock values = kDefaultBlock;
};

std::string Trim(const std::string& s) {
    const size_t first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return "";
    const size_t last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

// The bank's [PresetN] sections in file order; other sections are skipped.
bool ReadFactoryBank(const std::string& path, std::vector<FactoryPreset>& presets) {
    std::ifstream in(path);
    if (!in) return false;
    std::string line;
    FactoryPreset* current = nullptr;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            const std::string section = line.substr(1, line.find(']') - 1);
            current = nullptr;
            if (section.compare(0, 6, "Preset") == 0 && section.size() > 6 &&
                section.find_first_not_of("0123456789", 6) == std::string::npos) {
                presets.push_back({section.substr(6), "", "", kDefaultBlock});
                current = &presets.back();
            }
            continue;
        }
        const size_t eq = line.find('=');
        if (!current || eq == std::string::npos) continue;
        const std::string key = Trim(line.substr(0, eq));
        const std::string value = Trim(line.substr(eq + 1));
        if (key == "Name") current->name = value;
        if (key == "Bank") current->bank = value;
        if (key == "Data") ReadDataString(value.c_str(), current->values);
    }
    // The setters would clamp; a preset file's values stay inside the ports' ranges.
    for (FactoryPreset& p : presets) {
        for (int i = 0; i < kParamCount; ++i) p.values[i] = ClampParam(i, p.values[i]);
    }
    return true;
}

std::string Quote(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

const char* kPrefixes =
    "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
    "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
    "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
    "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
    "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
    "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
    "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
    "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
    "@prefix time: <http://lv2plug.in/ns/ext/time#> .\n"
    "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
    "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n\n";

struct PlugIn {
    const char* uri;
    const char* name;
    int inputs;
};
const PlugIn kPlugIns[] = {
    {kMonoUri, "zvDelay Mono", 1},
    {kStereoUri, "zvDelay Stereo", 2},
};

std::string Manifest(const std::string& binary, const std::vector<FactoryPreset>& presets) {
    std::ostringstream t;
    t << kPrefixes;
    for (const PlugIn& p : kPlugIns) {
        t << "<" << p.uri << ">\n\ta lv2:Plugin ;\n\tlv2:binary <" << binary
          << "> ;\n\trdfs:seeAlso <zvDelay.ttl> .\n\n";
    }
    for (const PlugIn& p : kPlugIns) {
        for (const FactoryPreset& preset : presets) {
            t << "<" << p.uri << "/preset/" << preset.id << ">\n\ta pset:Preset ;\n\tlv2:appliesTo <" << p.uri
              << "> ;\n\trdfs:seeAlso <presets.ttl> .\n\n";
        }
    }
    return t.str();
}

// A port value as Turtle writes it: the natural value in single precision
// (what the port carries), in the fewest decimals that read back as the
// same float (0.1, not 0.100000001; 1000.0).
std::string Number(double natural) {
    const float value = static_cast<float>(natural);
    char text[32];
    for (int decimals = 1; decimals <= 12; ++decimals) {   // plain decimals, never an exponent (xsd:double)
        std::snprintf(text, sizeof text, "%.*f", decimals, static_cast<double>(value));
        if (std::strtof(text, nullptr) == value) break;
    }
    return text;
}

// The LV2 unit of a natural unit (units vocabulary), or null.
const char* Lv2Unit(EParamUnit unit) {
    switch (unit) {
    case EParamUnit::kMilliseconds: return "ms";
    case EParamUnit::kPercent: return "pc";
    case EParamUnit::kHertz: return "hz";
    case EParamUnit::kDecibels: return "db";
    case EParamUnit::kBeatsPerMinute: return "bpm";
    case EParamUnit::kNone: break;
    }
    return nullptr;
}

void ControlInput(std::ostringstream& t, int i) {
    const ParamInfo& info = kParamTable[i];
    const ParamDescription& d = kParamDescriptions[i];
    t << "[\n\t\ta lv2:InputPort , lv2:ControlPort ;\n\t\tlv2:index " << i << " ;\n\t\tlv2:symbol \"" << info.name
      << "\" ;\n\t\tlv2:name " << Quote(d.name) << " ;\n\t\tlv2:shortName " << Quote(d.shortName)
      << " ;\n\t\tlv2:default " << Number(NaturalDefault(i)) << " ;\n\t\tlv2:minimum " << Number(NaturalMinimum(i))
      << " ;\n\t\tlv2:maximum " << Number(NaturalMaximum(i)) << " ;\n";
    std::vector<std::string> properties;
    if (d.kind != EParamKind::kContinuous) properties.push_back("lv2:integer");
    if (d.kind == EParamKind::kToggle) properties.push_back("lv2:toggled");
    if (d.kind == EParamKind::kEnumeration) properties.push_back("lv2:enumeration");
    if (d.logarithmic) properties.push_back("pprops:logarithmic");
    for (size_t k = 0; k < properties.size(); ++k) {
        t << (k == 0 ? "\t\tlv2:portProperty " : " , ") << properties[k] << (k + 1 == properties.size() ? " ;\n" : "");
    }
    if (const char* unit = Lv2Unit(d.unit)) t << "\t\tunits:unit units:" << unit << " ;\n";
    // Every value that has a name: the note values and sync modes, a filter
    // that is off, the lowest output.
    std::vector<int32_t> named;
    for (int32_t v = info.minimum; v <= info.maximum; ++v) {
        if (!ParamValueName(i, v).empty()) named.push_back(v);
    }
    for (size_t k = 0; k < named.size(); ++k) {
        t << (k == 0 ? "\t\tlv2:scalePoint [ " : " , [ ") << "rdfs:label " << Quote(ParamValueName(i, named[k]))
          << " ; rdf:value " << Number(NaturalFromInternal(i, named[k])) << " ]";
        if (k + 1 == named.size()) t << " ;\n";
    }
    t << "\t]";
}

std::string PlugInDescription() {
    std::ostringstream t;
    t << kPrefixes;
    for (const PlugIn& p : kPlugIns) {
        t << "<" << p.uri << ">\n\ta lv2:Plugin , lv2:DelayPlugin ;\n\tdoap:name " << Quote(p.name)
          << " ;\n\trdfs:comment " << Quote("A stereo delay with feedback, cross-feed, diffusion, tone filters "
                                            "and tempo sync.")
          << " ;\n\tlv2:minorVersion 2 ;\n\tlv2:microVersion 0 ;\n"
          << "\tlv2:optionalFeature lv2:hardRTCapable , urid:map ;\n"
          << "\tlv2:extensionData state:interface ;\n\tlv2:port ";
        for (int i = 0; i < kParamCount; ++i) {
            ControlInput(t, i);
            t << " , ";
        }
        const char* peakSymbols[2] = {"PeakL", "PeakR"};
        const char* peakNames[2] = {"Left Peak", "Right Peak"};
        for (int k = 0; k < 2; ++k) {
            t << "[\n\t\ta lv2:OutputPort , lv2:ControlPort ;\n\t\tlv2:index " << kPortPeakLeft + k
              << " ;\n\t\tlv2:symbol \"" << peakSymbols[k] << "\" ;\n\t\tlv2:name \"" << peakNames[k]
              << "\" ;\n\t\tlv2:default 0.0 ;\n\t\tlv2:minimum 0.0 ;\n\t\tlv2:maximum 1.0\n\t] , ";
        }
        t << "[\n\t\ta lv2:InputPort , atom:AtomPort ;\n\t\tatom:bufferType atom:Sequence ;\n"
          << "\t\tatom:supports time:Position ;\n\t\tlv2:designation lv2:control ;\n"
          << "\t\tlv2:portProperty lv2:connectionOptional ;\n\t\tlv2:index " << kPortControl
          << " ;\n\t\tlv2:symbol \"control\" ;\n\t\tlv2:name \"Control\"\n\t]";
        const char* inSymbols[2][2] = {{"in", nullptr}, {"in_l", "in_r"}};
        const char* inNames[2][2] = {{"In", nullptr}, {"In L", "In R"}};
        uint32_t index = kPortAudioFirst;
        for (int c = 0; c < p.inputs; ++c, ++index) {
            t << " , [\n\t\ta lv2:InputPort , lv2:AudioPort ;\n\t\tlv2:index " << index << " ;\n\t\tlv2:symbol \""
              << inSymbols[p.inputs - 1][c] << "\" ;\n\t\tlv2:name \"" << inNames[p.inputs - 1][c] << "\"\n\t]";
        }
        const char* outSymbols[2] = {"out_l", "out_r"};
        const char* outNames[2] = {"Out L", "Out R"};
        for (int c = 0; c < 2; ++c, ++index) {
            t << " , [\n\t\ta lv2:OutputPort , lv2:AudioPort ;\n\t\tlv2:index " << index << " ;\n\t\tlv2:symbol \""
              << outSymbols[c] << "\" ;\n\t\tlv2:name \"" << outNames[c] << "\"\n\t]";
        }
        // The host's bypass switch: on by default, last of all.
        t << " , [\n\t\ta lv2:InputPort , lv2:ControlPort ;\n\t\tlv2:index " << EnabledPort(p.inputs)
          << " ;\n\t\tlv2:symbol \"" << kEnabledSymbol << "\" ;\n\t\tlv2:name \"" << kEnabledName
          << "\" ;\n\t\tlv2:designation lv2:enabled ;\n\t\tlv2:default 1 ;\n\t\tlv2:minimum 0 ;\n"
          << "\t\tlv2:maximum 1 ;\n\t\tlv2:portProperty lv2:integer , lv2:toggled\n\t]";
        t << " .\n\n";
    }
    return t.str();
}

std::string PresetDescriptions(const std::vector<FactoryPreset>& presets) {
    std::ostringstream t;
    t << kPrefixes;
    for (const PlugIn& p : kPlugIns) {
        for (const FactoryPreset& preset : presets) {
            const std::string label = preset.bank.empty() ? preset.name : preset.bank + " / " + preset.name;
            t << "<" << p.uri << "/preset/" << preset.id << ">\n\ta pset:Preset ;\n\tlv2:appliesTo <" << p.uri
              << "> ;\n\trdfs:label " << Quote(label) << " ;\n\tlv2:port ";
            for (int i = 0; i < kParamCount; ++i) {
                // Natural values as decimal literals: hosts receive them as
                // floats, as every control port is.
                t << (i ? " , " : "") << "[\n\t\tlv2:symbol \"" << kParamTable[i].name << "\" ;\n\t\tpset:value "
                  << Number(NaturalFromInternal(i, preset.values[i])) << "\n\t]";
            }
            t << " .\n\n";
        }
    }
    return t.str();
}

bool WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    if (!out) std::fprintf(stderr, "zvdelay-lv2-ttl: cannot write %s\n", path.c_str());
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: zvdelay-lv2-ttl BUNDLE_DIR FACTORY_INI BINARY_FILE_NAME\n");
        return 2;
    }
    const std::string dir = argv[1];
    std::vector<FactoryPreset> presets;
    if (!ReadFactoryBank(argv[2], presets)) {
        std::fprintf(stderr, "zvdelay-lv2-ttl: cannot read %s\n", argv[2]);
        return 1;
    }
    const bool ok = WriteFile(dir + "/manifest.ttl", Manifest(argv[3], presets)) &&
                    WriteFile(dir + "/zvDelay.ttl", PlugInDescription()) &&
                    WriteFile(dir + "/presets.ttl", PresetDescriptions(presets));
    return ok ? 0 : 1;
}

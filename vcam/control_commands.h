// The text commands that steer a running camera (from its standard input,
// its control socket or Command()). Each line is parsed whole before
// anything happens, so a malformed command changes nothing; each answers
// one line, "ok <command> ..." or "error: <reason>".
#pragma once

#include <optional>
#include <string>

namespace kvx::vcam {

class VirtualCamera;

// A data-group field as the commands name it.
struct NamedField {
    const char* name;
    int group;
    int bit;  // 0..7 Field1, 8..15 Field2
};

class ControlCommands {
public:
    static std::string Execute(VirtualCamera& camera, const std::string& line);
    // One line per command, for --help.
    static std::string Help();
    // A field by name, by "G/BIT" (bit 0..15) or by "G/FIELD1/FIELD2" masks
    // (exactly one bit set); nullopt for anything else.
    static std::optional<NamedField> FindField(const std::string& text);
};

}  // namespace kvx::vcam

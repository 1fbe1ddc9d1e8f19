// Writes ".apf" animation packs: for each animation in a package, its
// offset and size there, its root joint name, its header, the root position
// keys of translating animations and its side files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ApfEntry {
  std::string name;             // the animation's name as the game asks for it
  uint32_t offset = 0xFFFFFFFF;  // of the file's data in the package
  uint32_t size = 0xFFFFFFFF;
  std::vector<uint8_t> jan;     // the ".jan" file image
  bool hasEvent = false;        // an 'evnt' section with these bytes
  std::vector<uint8_t> event;
  bool hasBlend = false;        // a 'blnd' section with these bytes
  std::vector<uint8_t> blend;
};

// The pack image; false with a message for an animation file it cannot
// describe (damaged, or a translating version 200 file).
bool WriteApf(const std::vector<ApfEntry>& entries, std::vector<uint8_t>& out, std::string& error);

// Fills entries from a package for the given animation names (their side
// files ".eve" and ".pba" are taken when the package holds them). False
// with a message when the package or a name is missing.
bool ApfEntriesFromPackage(const char* packagePath, const std::vector<std::string>& names,
                           std::vector<ApfEntry>& entries, std::string& error);

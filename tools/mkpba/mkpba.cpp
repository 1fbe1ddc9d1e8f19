// mkpba: writes a ".pba" blend animation from a text description, one
// channel a line: the channel name, then its weights (0 to 1), 30 a second.
// Blank lines and lines starting with '#' are skipped.
//
//   mkpba <description.txt> <out.pba>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "VERirezo/BlendAnim.h"

namespace {

struct PbaChannelDesc {
  std::string name;
  std::vector<float> weights;
};

bool ParsePbaText(std::istream& in, std::vector<PbaChannelDesc>& out, std::string& error) {
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    std::istringstream words(line);
    PbaChannelDesc c;
    if (!(words >> c.name) || c.name[0] == '#') continue;
    std::string word;
    while (words >> word) {
      try {
        size_t used = 0;
        c.weights.push_back(std::stof(word, &used));
        if (used != word.size()) throw std::invalid_argument(word);
      } catch (const std::exception&) {
        error = "line " + std::to_string(number) + ": not a weight: " + word;
        return false;
      }
    }
    if (c.name.size() > 31) {
      error = "line " + std::to_string(number) + ": channel names have at most 31 characters";
      return false;
    }
    out.push_back(c);
  }
  if (out.empty() || out.size() > MAX_BLENDCHANNELS) {
    error = "a blend animation has 1 to 64 channels";
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: mkpba <description.txt> <out.pba>\n");
    return 2;
  }
  std::ifstream in(argv[1]);
  if (!in) {
    fprintf(stderr, "mkpba: cannot read %s\n", argv[1]);
    return 1;
  }
  std::vector<PbaChannelDesc> channels;
  std::string error;
  if (!ParsePbaText(in, channels, error)) {
    fprintf(stderr, "mkpba: %s: %s\n", argv[1], error.c_str());
    return 1;
  }
  EBlendAnimShared anim;
  anim.createChannels((unsigned)channels.size(), 0);
  for (size_t i = 0; i < channels.size(); ++i) {
    EBlendAnimChannel* c = anim.getChannel((unsigned)i);
    c->createSamples((unsigned)channels[i].weights.size());
    c->setName(channels[i].name.c_str());
    for (size_t k = 0; k < channels[i].weights.size(); ++k) c->setSample((unsigned)k, channels[i].weights[k]);
  }
  if (!anim.writeToFile(argv[2])) {
    fprintf(stderr, "mkpba: cannot write %s\n", argv[2]);
    return 1;
  }
  printf("%s: %d channels\n", argv[2], (int)channels.size());
  return 0;
}

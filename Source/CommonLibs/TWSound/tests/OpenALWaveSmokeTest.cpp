// Proves the machinery that sound tests use: OpenAL Soft writing its output
// to a wave file, chosen by a configuration file the test writes itself.
#include <gtest/gtest.h>

#include <AL/al.h>
#include <AL/alc.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

TEST(OpenALWaveSmoke, OpensTheWaveDeviceAndWritesAFile) {
  char dir[] = "/tmp/quillomar-al-XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(dir));
  std::string conf = std::string(dir) + "/alsoft.conf";
  std::string wav = std::string(dir) + "/out.wav";
  FILE* f = fopen(conf.c_str(), "w");
  ASSERT_NE(nullptr, f);
  fprintf(f, "[general]\ndrivers = wave\n\n[wave]\nfile = %s\n", wav.c_str());
  fclose(f);
  setenv("ALSOFT_CONF", conf.c_str(), 1);

  ALCdevice* device = alcOpenDevice(nullptr);
  ASSERT_NE(nullptr, device);
  ALCcontext* context = alcCreateContext(device, nullptr);
  ASSERT_NE(nullptr, context);
  ASSERT_TRUE(alcMakeContextCurrent(context));

  std::vector<short> tone(4410);
  for (size_t i = 0; i < tone.size(); ++i) tone[i] = (short)((i % 100) < 50 ? 8000 : -8000);
  ALuint buffer = 0, source = 0;
  alGenBuffers(1, &buffer);
  alBufferData(buffer, AL_FORMAT_MONO16, tone.data(), (ALsizei)(tone.size() * sizeof(short)), 44100);
  alGenSources(1, &source);
  alSourcei(source, AL_BUFFER, (ALint)buffer);
  alSourcePlay(source);
  EXPECT_EQ(AL_NO_ERROR, alGetError());
  usleep(200000);

  alDeleteSources(1, &source);
  alDeleteBuffers(1, &buffer);
  alcMakeContextCurrent(nullptr);
  alcDestroyContext(context);
  alcCloseDevice(device);

  f = fopen(wav.c_str(), "rb");
  ASSERT_NE(nullptr, f);
  char header[4] = {0};
  EXPECT_EQ(4u, fread(header, 1, 4, f));
  fclose(f);
  EXPECT_EQ(0, memcmp(header, "RIFF", 4));
  unsetenv("ALSOFT_CONF");
  std::string rm = std::string("rm -rf '") + dir + "'";
  EXPECT_EQ(0, system(rm.c_str()));
}

}  // namespace

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Game/SaveLoadGame.h"
#include "Game/tests/SaveGameTestSupport.h"

namespace {

std::vector<unsigned char> RecordBytes(const EProfileRecord& record) {
  std::vector<unsigned char> out(EProfileRecord::kSIZE);
  record.Write(out.data());
  return out;
}

TEST(ProfileRecord, LayoutAndRoundTrip) {
  EProfileRecord record;
  strcpy(record.m_szName, "Raz");
  record.m_iLastSavedSlot = 0x01020304;
  record.m_Options.m_uOption21 = 1;
  record.m_aSlotUsed[0] = 1;
  record.m_aSlotUsed[6] = 1;
  std::vector<unsigned char> bytes = RecordBytes(record);
  ASSERT_EQ(57u, bytes.size());
  for (int i = 0; i < 8; ++i) EXPECT_EQ(0, bytes[i]) << "signature area";
  EXPECT_EQ(0, memcmp(&bytes[8], "Raz\0\0\0\0\0\0\0", 10));
  EXPECT_EQ((std::vector<unsigned char>{4, 3, 2, 1}), std::vector<unsigned char>(&bytes[18], &bytes[22]));
  // Option defaults: bytes 0, 1, 0, 0, 0, reserved, three floats 10.0, 1,
  // the hidden-code byte, reserved, 10.0.
  const unsigned char ten[4] = {0x00, 0x00, 0x20, 0x41};
  EXPECT_EQ((std::vector<unsigned char>{0, 1, 0, 0, 0, 0, 0, 0}), std::vector<unsigned char>(&bytes[22], &bytes[30]));
  for (int off : {30, 34, 38, 46}) EXPECT_EQ(0, memcmp(&bytes[off], ten, 4)) << off;
  EXPECT_EQ(1, bytes[42]);
  EXPECT_EQ(1, bytes[43]);
  EXPECT_EQ((std::vector<unsigned char>{1, 0, 0, 0, 0, 0, 1}), std::vector<unsigned char>(&bytes[50], &bytes[57]));

  // Any accepted record writes back byte for byte, reserved bytes and odd
  // float patterns included.
  std::vector<unsigned char> odd(57);
  for (int i = 0; i < 57; ++i) odd[i] = (unsigned char)(i * 37 + 11);
  memset(odd.data(), 0, 8);
  odd[17] = 'Z';  // a ten-character name has no terminator
  memcpy(&odd[30], "\x01\x00\x80\x7f", 4);  // a signalling NaN
  EProfileRecord back;
  ASSERT_TRUE(back.Read(odd.data(), 57));
  EXPECT_EQ(10u, strlen(back.m_szName));
  EXPECT_EQ(odd, RecordBytes(back));
  // Bytes after the name's terminator come back too.
  memcpy(&odd[8], "Seed\0\0\0\0=\0", 10);
  ASSERT_TRUE(back.Read(odd.data(), 57));
  EXPECT_STREQ("Seed", back.m_szName);
  EXPECT_EQ(odd, RecordBytes(back));
}

TEST(ProfileRecord, RejectsDamagedRecords) {
  EProfileRecord good;
  strcpy(good.m_szName, "Raz");
  std::vector<unsigned char> bytes = RecordBytes(good);
  std::vector<unsigned char> longer = bytes;
  longer.push_back(0);
  std::vector<unsigned char> signed_ = bytes;
  signed_[3] = 0x5a;
  std::vector<unsigned char> unnamed = bytes;
  memset(&unnamed[8], 0, 10);
  struct {
    const char* what;
    std::vector<unsigned char> data;
    int size;
  } cases[] = {
      {"56 bytes", bytes, 56}, {"58 bytes", longer, 58}, {"signature", signed_, 57},
      {"no name", unnamed, 57}, {"empty", {}, 0},
  };
  for (auto& c : cases) {
    EProfileRecord record;
    strcpy(record.m_szName, "Kept");
    EXPECT_FALSE(record.Read(c.data.empty() ? nullptr : c.data.data(), c.size)) << c.what;
    EXPECT_STREQ("Kept", record.m_szName) << c.what;
  }
}

TEST(ProfileNames, UnsafeCharactersDoNotReachFileNames) {
  struct {
    const char* typed;
    const char* file;
  } cases[] = {
      {"Zol", "Profile 2- Zol"},
      {"../../etc", "Profile 2- .._.._etc"},
      {"a\\b:c*?\"<>|", "Profile 2- a_b_c_____"},  // cut to the ten characters the record keeps
      {"Line\nBreak", "Profile 2- Line_Break"},
      {"LongerThanTen", "Profile 2- LongerThan"},
  };
  for (auto& c : cases) EXPECT_STREQ(c.file, *ELoadSaveGame::MakeProfileRecordName(1, c.typed)) << c.typed;
}

class Profiles : public SaveDirTest {
protected:
  std::string RecordPath(int index, const char* file) {
    return "Profiles/Profile " + std::to_string(index + 1) + "/" + file;
  }
};

TEST_F(Profiles, CreatedProfileIsFoundAgainWithItsFiles) {
  ASSERT_TRUE(m_saves.CreateCurrentProfile(1, "Raz"));
  const std::string record = RecordPath(1, "Profile 2- Raz");
  EXPECT_EQ(57u, Bytes(record).size());
  EXPECT_TRUE(Has(record + ".ini"));
  for (int s = 0; s < 7; ++s) {
    std::vector<unsigned char> slot = Bytes(RecordPath(1, ("SavedGame" + std::to_string(s)).c_str()));
    EXPECT_EQ(61440u, slot.size()) << "preallocated slot " << s;
  }
  EXPECT_EQ(kPROFILEWRITE_Written, m_saves.GetLastProfileWrite());

  ELoadSaveGame other;
  m_app.m_pSaveLoadInterface = &other;
  other.RefreshProfileInfo(false);
  EXPECT_TRUE(other.ProfileExists());
  EXPECT_EQ(1, other.GetCurrentProfileIndex());
  EGameProfile* profile = other.GetProfileFromIndex(1);
  EXPECT_TRUE(profile->IsProfileCreated());
  EXPECT_STREQ("Raz", profile->GetProfileDisplayName());
  EXPECT_EQ(Abs("Profiles/Profile 2"), profile->GetProfileDirectory());
  EXPECT_FALSE(other.GetProfileFromIndex(0)->IsProfileCreated());
  EXPECT_EQ(0, other.GetNumSavedGames());
  m_app.m_pSaveLoadInterface = &m_saves;

  // Written again unchanged, the record is the same bytes.
  std::vector<unsigned char> before = Bytes(record);
  EXPECT_TRUE(m_saves.WriteProfileOptionsToFile(1, nullptr));
  EXPECT_EQ(before, Bytes(record));
}

TEST_F(Profiles, DiscoveryReadsOnlyWholeRecords) {
  EProfileRecord record;
  strcpy(record.m_szName, "Ann");
  std::vector<unsigned char> bytes = RecordBytes(record);
  filetest::WriteBytes(Abs(RecordPath(1, "Profile 2- Ann")), bytes);
  std::vector<unsigned char> shorter(bytes.begin(), bytes.end() - 1);
  filetest::WriteBytes(Abs(RecordPath(0, "Profile 1- Bob")), shorter);
  std::vector<unsigned char> longer = bytes;
  longer.push_back(0);
  filetest::WriteBytes(Abs(RecordPath(2, "Profile 3- Cy")), longer);

  m_saves.RefreshProfileInfo(false);
  EXPECT_FALSE(m_saves.GetProfileFromIndex(0)->IsProfileCreated()) << "56 bytes";
  EXPECT_FALSE(m_saves.GetProfileFromIndex(2)->IsProfileCreated()) << "58 bytes";
  EGameProfile* ann = m_saves.GetProfileFromIndex(1);
  EXPECT_TRUE(ann->IsProfileCreated());
  EXPECT_STREQ("Ann", ann->GetProfileDisplayName());
  EXPECT_EQ(1, m_saves.GetCurrentProfileIndex());
  // Unused slots without files get their preallocation.
  EXPECT_EQ(61440u, Bytes(RecordPath(1, "SavedGame3")).size());
}

TEST_F(Profiles, NewestRecordBecomesCurrent) {
  ASSERT_TRUE(m_saves.CreateCurrentProfile(0, "Old"));
  ASSERT_TRUE(m_saves.CreateCurrentProfile(2, "New"));
  SetTime(RecordPath(0, "Profile 1- Old"), 2000000000);
  SetTime(RecordPath(2, "Profile 3- New"), 1000000000);
  m_saves.RefreshProfileInfo(false);
  EXPECT_EQ(0, m_saves.GetCurrentProfileIndex());
  SetTime(RecordPath(2, "Profile 3- New"), 2000000001);
  m_saves.RefreshProfileInfo(false);
  EXPECT_EQ(2, m_saves.GetCurrentProfileIndex());
}

TEST_F(Profiles, TypedNameKeptInRecordFileNameMadeSafe) {
  ASSERT_TRUE(m_saves.CreateCurrentProfile(0, "../x/y"));
  EXPECT_TRUE(Has(RecordPath(0, "Profile 1- .._x_y")));
  EXPECT_FALSE(Has("x")) << "nothing outside the profile folder";
  std::vector<unsigned char> bytes = Bytes(RecordPath(0, "Profile 1- .._x_y"));
  ASSERT_EQ(57u, bytes.size());
  EXPECT_EQ(0, memcmp(&bytes[8], "../x/y\0\0\0\0", 10));
  m_saves.RefreshProfileInfo(false);
  EXPECT_STREQ("../x/y", m_saves.GetProfileFromIndex(0)->GetProfileDisplayName());

  // A long name names its file after the ten characters the record keeps,
  // so writing the profile again after discovery finds the same file.
  ASSERT_TRUE(m_saves.CreateCurrentProfile(1, "Twelve Chars"));
  m_saves.RefreshProfileInfo(false);
  EXPECT_STREQ("Twelve Cha", m_saves.GetProfileFromIndex(1)->GetProfileDisplayName());
  EXPECT_TRUE(m_saves.WriteProfileOptionsToFile(1, nullptr));
  EArray<EString> files;
  EWin32File::GetDirectory(Abs("Profiles/Profile 2").c_str(), "*", files);
  EXPECT_EQ(9, files.Num()) << "record, settings and seven slots";
}

TEST_F(Profiles, DeleteRemovesOnlyTheProfilesOwnFiles) {
  ASSERT_TRUE(m_saves.CreateCurrentProfile(0, "Raz"));
  filetest::WriteText(Abs(RecordPath(0, "notes.txt")), "mine");
  filetest::WriteText(Abs(RecordPath(0, "Sub/deeper")), "mine too");
  ASSERT_TRUE(m_saves.CreateCurrentProfile(1, "Lili"));

  // Creating over an occupied slot deletes the old profile first.
  ASSERT_TRUE(m_saves.CreateCurrentProfile(0, "Sasha"));
  EXPECT_FALSE(Has(RecordPath(0, "Profile 1- Raz")));
  EXPECT_FALSE(Has(RecordPath(0, "Profile 1- Raz.ini")));
  EXPECT_TRUE(Has(RecordPath(0, "Profile 1- Sasha")));
  EXPECT_TRUE(Has(RecordPath(0, "notes.txt")));
  EXPECT_TRUE(Has(RecordPath(0, "Sub/deeper")));

  m_saves.DeleteProfile(0);
  EXPECT_FALSE(Has(RecordPath(0, "Profile 1- Sasha")));
  for (int s = 0; s < 7; ++s) EXPECT_FALSE(Has(RecordPath(0, ("SavedGame" + std::to_string(s)).c_str())));
  EXPECT_TRUE(Has(RecordPath(0, "notes.txt")));
  EXPECT_TRUE(Has(RecordPath(0, "Sub/deeper")));
  EXPECT_TRUE(Has(RecordPath(1, "Profile 2- Lili")));
  EXPECT_FALSE(m_saves.GetProfileFromIndex(0)->IsProfileCreated());
  EXPECT_TRUE(m_saves.GetProfileFromIndex(1)->IsProfileCreated());
}

TEST_F(Profiles, WritesSayWhatHappened) {
  ASSERT_TRUE(m_saves.CreateCurrentProfile(0, "Raz"));
  const std::string record = RecordPath(0, "Profile 1- Raz");
  std::vector<unsigned char> before = Bytes(record);

  // Playing without saving: nothing is written, and the answer says so.
  EGameOptions options;
  options.m_uOption21 = 1;
  m_saves.GetCurrentProfile()->SetNoSave(true);
  EXPECT_FALSE(m_saves.WriteCurrentProfileOptionsToFile(&options));
  EXPECT_EQ(kPROFILEWRITE_NoSave, m_saves.GetLastProfileWrite());
  EXPECT_EQ(before, Bytes(record));
  m_saves.GetCurrentProfile()->SetNoSave(false);

  // A full disk: the write fails and the old record stays whole.
  {
    ScopedFileSizeLimit full(20);
    EXPECT_FALSE(m_saves.WriteCurrentProfileOptionsToFile(&options));
  }
  EXPECT_EQ(kPROFILEWRITE_Failed, m_saves.GetLastProfileWrite());
  EXPECT_EQ(before, Bytes(record));

  EXPECT_TRUE(m_saves.WriteCurrentProfileOptionsToFile(&options));
  EXPECT_EQ(1, Bytes(record)[43]);

  // A new profile on a full disk leaves no empty record behind.
  {
    ScopedFileSizeLimit full(20);
    EXPECT_TRUE(m_saves.CreateCurrentProfile(1, "Full"));
  }
  EXPECT_EQ(kPROFILEWRITE_Failed, m_saves.GetLastProfileWrite());
  EXPECT_FALSE(Has(RecordPath(1, "Profile 2- Full")));
  EXPECT_FALSE(m_saves.GetProfileFromIndex(1)->IsProfileCreated());
  m_saves.SetCurrentProfile(0);

  // No name, nothing to write.
  EXPECT_FALSE(m_saves.WriteProfileOptionsToFile(2, nullptr));
  EXPECT_EQ(kPROFILEWRITE_Failed, m_saves.GetLastProfileWrite());

  EXPECT_FALSE(m_saves.CreateCurrentProfile(3, "Nope"));
  EXPECT_TRUE(Traced("Profile index is greater than the max"));
}

TEST_F(Profiles, SettingsFollowTheProfile) {
  ASSERT_TRUE(m_saves.CreateCurrentProfile(0, "Raz"));
  EXPECT_TRUE(m_saves.SetSetting(EGlobalSettings::m_szMouseSensitivity, 0.25f));
  bool smart = true;
  ASSERT_TRUE(m_saves.GetSetting(EGlobalSettings::m_szSmartCamera, smart));
  EXPECT_TRUE(m_saves.SetSetting(EGlobalSettings::m_szSmartCamera, !smart));
  ASSERT_TRUE(m_saves.WriteCurrentProfileOptionsToFile(nullptr));

  ELoadSaveGame other;
  m_app.m_pSaveLoadInterface = &other;
  other.RefreshProfileInfo(false);
  float sensitivity = 0.0f;
  EXPECT_TRUE(other.GetSetting(EGlobalSettings::m_szMouseSensitivity, sensitivity));
  EXPECT_EQ(0.25f, sensitivity);
  bool smartBack = smart;
  EXPECT_TRUE(other.GetSetting(EGlobalSettings::m_szSmartCamera, smartBack));
  EXPECT_EQ(!smart, smartBack);
  m_app.m_pSaveLoadInterface = &m_saves;
}

TEST_F(Profiles, StartUpProfiles) {
  // The debug profile is made when none exists, unless the menus start.
  m_app.GetPrefs().m_bMainMenu = true;
  m_saves.InitDebugProfile();
  EXPECT_FALSE(Has(RecordPath(2, "Profile 3- Debug")));
  m_app.GetPrefs().m_bMainMenu = false;
  m_saves.InitDebugProfile();
  EXPECT_TRUE(Has(RecordPath(2, "Profile 3- Debug")));
  EXPECT_EQ(2, m_saves.GetCurrentProfileIndex());

  // The demo profile only when no profile exists.
  m_saves.InitDemoProfile();
  EXPECT_FALSE(Has(RecordPath(0, "Profile 1- Zol")));
  m_saves.DeleteProfile(2);
  m_saves.InitDemoProfile();
  EXPECT_TRUE(Has(RecordPath(0, "Profile 1- Zol")));
  EXPECT_EQ(0, m_saves.GetCurrentProfileIndex());
}

}  // namespace

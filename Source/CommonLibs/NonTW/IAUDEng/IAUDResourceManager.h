// The root of the audio runtime: class-wide services that content objects
// reach by deriving from it. Only the services the content tree needs are
// here so far: groups, the last error code and the bank registries.
#pragma once

#include <cstdint>

class CGroup;
template <class X>
class TCArray;
class IAUDContentBank;
class IAUDFileObject;

class IAUDResourceManager {
 public:
  IAUDResourceManager() {}
  ~IAUDResourceManager() {}

  // The index of the group whose title equals title; a new group is made in
  // the first empty entry of the table, or appended, when none does.
  static int32_t AddGroup(const uint16_t* title);
  // The group at that index, or null at or past the table's count.
  static CGroup* GetGroup(uint32_t index);
  // Destroys every group and empties the group table.
  static void ReleaseAllGroups();
  static void SetIAUDErrorCode(int32_t code) { sm_nErrorCode = code; }
  static int32_t GetIAUDErrorCode() { return sm_nErrorCode; }

  static IAUDFileObject* m_pFileObject;
  static IAUDContentBank* m_pContentBanks;

 private:
  static TCArray<CGroup*>& Groups();
  static int32_t sm_nErrorCode;
};

// The one resource manager; null before the runtime starts.
extern IAUDResourceManager* m_papiResourceManager;

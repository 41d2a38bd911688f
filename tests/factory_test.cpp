// The class factory (ProgID or CLSID, five interface ids) and the C API.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "library/korvex7.h"
#include "library/korvex7_c_api.h"
#include "library/library_version.h"

namespace {

constexpr int32_t kClassNotRegistered = static_cast<int32_t>(0x80040154u);
constexpr int32_t kNoInterface = static_cast<int32_t>(0x80004002u);
constexpr int32_t kInvalidArgument = static_cast<int32_t>(0x80070057u);

void ExpectCreated(const char* name, const char* interface_id) {
  _CKorvex7Obj* object = nullptr;
  EXPECT_EQ(Korvex7CreateObject(name, interface_id, &object), 0) << name << " " << interface_id;
  ASSERT_NE(object, nullptr);
  EXPECT_FALSE(object->IsConnected());
  Korvex7ReleaseObject(object);
}

TEST(FactoryTest, CreatesByProgIdOrClsidForEveryInterfaceId) {
  for (const char* interface_id : {kKorvex7InterfaceId, kKorvex7InterfaceIdV0,
                                   kKorvex7InterfaceIdV1, kKorvex7Obj2InterfaceId,
                                   kKorvex7Obj3InterfaceId, kKorvex7Obj4InterfaceId}) {
    ExpectCreated(kKorvex7ProgId, interface_id);
    ExpectCreated(kKorvex7Clsid, interface_id);
  }
}

TEST(FactoryTest, NamesCompareWithoutCaseAndBraces) {
  ExpectCreated("korvex7.ckorvex7obj", "{c94f4cd5-fbdf-439a-a79a-73836f5da334}");
  ExpectCreated("A09D7A08-B28E-40B1-8E1B-01D5F54B6DBA", "8C2DA5BA-37FE-4C30-B6C3-4DE2978B3C82");
}

TEST(FactoryTest, RefusesUnknownClassesInterfacesAndNullArguments) {
  _CKorvex7Obj* object = reinterpret_cast<_CKorvex7Obj*>(0x1);
  EXPECT_EQ(Korvex7CreateObject("Korvex6.CKorvex6Obj", kKorvex7InterfaceId, &object),
            kClassNotRegistered);
  EXPECT_EQ(object, nullptr);
  // The type library's id names no class.
  EXPECT_EQ(
      Korvex7CreateObject("{EF25A311-51E2-41E8-98E9-150BBCB7D74F}", kKorvex7InterfaceId, &object),
      kClassNotRegistered);
  EXPECT_EQ(Korvex7CreateObject(kKorvex7ProgId, kKorvex7Clsid, &object), kNoInterface);
  EXPECT_EQ(Korvex7CreateObject(kKorvex7ProgId, "{00000000-0000-0000-0000-000000000000}", &object),
            kNoInterface);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(Korvex7CreateObject(nullptr, kKorvex7InterfaceId, &object), kInvalidArgument);
  EXPECT_EQ(Korvex7CreateObject(kKorvex7ProgId, nullptr, &object), kInvalidArgument);
  EXPECT_EQ(Korvex7CreateObject(kKorvex7ProgId, kKorvex7InterfaceId, nullptr), kInvalidArgument);
  Korvex7ReleaseObject(nullptr);  // harmless
}

TEST(CApiTest, CopiesErrorTextsIntoTheCallersBufferTruncated) {
  korvex7_handle* handle = korvex7_create();
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(korvex7_is_connected(handle), 0);

  char small[8];
  std::memset(small, 'x', sizeof small);
  EXPECT_EQ(korvex7_connect(handle, nullptr, 3, small, sizeof small), 0);
  EXPECT_STREQ(small, "A requi");

  char error[256] = "stale";
  EXPECT_EQ(korvex7_log_count(handle, error, sizeof error), -1);
  // Not connected: the count's query meets a closed connection.
  EXPECT_EQ(std::string(error).rfind("Error # 3704:", 0), 0u) << error;

  EXPECT_EQ(korvex7_do_next(handle, nullptr, 0), 0);  // no buffer: nothing written
  int32_t key = -7;
  std::strcpy(error, "stale");
  EXPECT_EQ(korvex7_last_failed_row(handle, &key, nullptr, error, sizeof error), 0);
  EXPECT_EQ(key, -7);  // failing to connect is no row's failure
  EXPECT_STREQ(error, "");
  EXPECT_EQ(korvex7_commit(handle, error, sizeof error), 1);  // nothing to commit
  korvex7_destroy(handle);
  EXPECT_EQ(korvex7_is_connected(nullptr), 0);
}

TEST(LibraryVersionTest, ReportsTheCompiledVersionAndTheFileItRunsFrom) {
  std::string path;
  EXPECT_EQ(GetLibraryVersion(path), Korvex7CompiledVersion());
  EXPECT_TRUE(std::filesystem::path(path).is_absolute()) << path;
  EXPECT_TRUE(std::filesystem::exists(path)) << path;
}

}  // namespace

// Finding and loading the library through its class registration, and the
// packaged default settings file that carries that registration.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "dbaccess/database_configuration.h"
#include "settings/reg_settings.h"
#include "service/dl_library_factory.h"
#include "tests/service_fakes.h"

namespace voltrane {
namespace {

constexpr const char* kOtherClsid = "{11111111-2222-3333-4444-555555555555}";

class LibraryLoadingTest : public ::testing::Test {
 protected:
  void Register(const std::string& key, const std::string& value) {
    ASSERT_TRUE(CRegSettings().SaveMachineStringValue("Software\\Classes\\" + key, "", value));
  }
  servicetest::TemporaryRoot root_;
};

TEST_F(LibraryLoadingTest, PathComesFromTheProgIdsClassRegistration) {
  EXPECT_EQ(std::filesystem::path(RegisteredLibraryPath(kKorvex7ProgId)).filename(),
            "libkorvex7.so.7");  // nothing registered: the installed library

  Register(std::string("CLSID\\") + kKorvex7Clsid + "\\InprocServer32", "/opt/a/libkorvex7.so");
  EXPECT_EQ(RegisteredLibraryPath(kKorvex7ProgId), "/opt/a/libkorvex7.so");

  Register(std::string(kKorvex7ProgId) + "\\CLSID", kOtherClsid);
  Register(std::string("CLSID\\") + kOtherClsid + "\\InprocServer32", "/opt/b/libkorvex7.so");
  EXPECT_EQ(RegisteredLibraryPath(kKorvex7ProgId), "/opt/b/libkorvex7.so");
  EXPECT_EQ(RegisteredLibraryPath(kKorvex7Clsid), "/opt/a/libkorvex7.so");
}

TEST_F(LibraryLoadingTest, CreationFailuresCarryTheirCodes) {
  Register(std::string("CLSID\\") + kKorvex7Clsid + "\\InprocServer32",
           root_.path() + "/missing/libkorvex7.so");
  EXPECT_EQ(DlLibraryFactory().Create().error_code, kErrorModuleNotFound);

  // A loadable library without the factory functions.
  Register(std::string("CLSID\\") + kKorvex7Clsid + "\\InprocServer32", "libm.so.6");
  const LibraryCreation creation = DlLibraryFactory().Create();
  EXPECT_EQ(creation.object, nullptr);
  EXPECT_EQ(creation.error_code, kErrorProcNotFound);
}

// The built library offers the extended interface; the worker then commits and
// names failing rows through it rather than by connecting again and by text.
TEST_F(LibraryLoadingTest, TheBuiltLibraryIsCreatedForTheExtendedInterface) {
  Register(std::string("CLSID\\") + kKorvex7Clsid + "\\InprocServer32", KORVEX7_LIBRARY_PATH);
  DlLibraryFactory factory;
  const LibraryCreation creation = factory.Create();
  ASSERT_NE(creation.object, nullptr) << creation.error_code << " " << creation.refusal;
  ASSERT_EQ(static_cast<_CKorvex7Obj*>(creation.object2), creation.object);
  // The built library can take part in a collector group.
  ASSERT_EQ(static_cast<_CKorvex7Obj*>(creation.object5), creation.object);
  ASSERT_EQ(static_cast<_CKorvex7Obj*>(creation.object4), creation.object);
  Korvex7FailedLogItem row;
  EXPECT_FALSE(creation.object2->GetLastFailedLogItem(row));
  std::string error = "stale";
  EXPECT_TRUE(creation.object2->CommitProcessedItems(error));  // nothing to commit
  EXPECT_EQ(error, "");
  factory.Release(creation.object);
}

// What the registration names runs with the collector's rights: a library or a settings store
// that others could change is refused, saying what is wrong with which file.
TEST_F(LibraryLoadingTest, RegistrationsThatOthersCouldChangeAreRefused) {
  const std::string libraries = root_.path() + "/lib";
  const std::string folder = libraries + "/x86_64";
  const std::string library = folder + "/libkorvex7.so";
  std::filesystem::create_directories(folder);
  std::ofstream(library) << "not a library";
  Register(std::string("CLSID\\") + kKorvex7Clsid + "\\InprocServer32", library);
  const auto refusal = [] {
    const LibraryCreation creation = DlLibraryFactory().Create();
    EXPECT_EQ(creation.object, nullptr);
    return creation.error_code == kErrorAccessDenied ? creation.refusal : "not refused";
  };

  chmod(library.c_str(), 0666);
  EXPECT_EQ(refusal(), "The library is not loaded: The library file " + library +
                           " is writable by others (mode 0666).");
  chmod(library.c_str(), 0644);
  chmod(folder.c_str(), 0777);
  EXPECT_EQ(refusal(), "The library is not loaded: The folder " + folder +
                           " of the library file is writable by others (mode 0777).");
  // A shared folder with the sticky bit (/tmp) keeps others from replacing the file.
  chmod(folder.c_str(), 01777);
  EXPECT_EQ(DlLibraryFactory().Create().error_code, kErrorModuleNotFound);
  chmod(folder.c_str(), 0755);
  // Whoever may rename a folder further up may replace the whole tree.
  chmod(libraries.c_str(), 0770);
  EXPECT_EQ(refusal(), "The library is not loaded: The folder " + libraries +
                           " of the library file is writable by others (mode 0770).");
  chmod(libraries.c_str(), 0755);

  const std::string store = HivePath(RegHive::kLocalMachine);
  chmod(store.c_str(), 0662);
  EXPECT_EQ(refusal(), std::string("The class registration of ") + kKorvex7ProgId +
                           " is not honoured: The settings store " + store +
                           " is writable by others (mode 0662).");
  chmod(store.c_str(), 0600);

  if (geteuid() == 0) {
    ASSERT_EQ(chown(library.c_str(), 65534, 65534), 0);
    EXPECT_EQ(refusal(), "The library is not loaded: The library file " + library +
                             " belongs to user id 65534, not to root.");
  }
}

TEST_F(LibraryLoadingTest, PackagedSettingsConfigureTheCollectorAndRegisterTheLibrary) {
  const auto packaged =
      std::filesystem::path(__FILE__).parent_path().parent_path() / "packaging" / "registry.toml";
  setenv("VOLTRANE_MACHINE_STORE", packaged.c_str(), 1);

  DatabaseConfiguration config;
  EXPECT_EQ(ReadConfiguration(config), 0);
  EXPECT_EQ(config.database_type, 3);
  EXPECT_EQ(config.connection_string, "Provider=SQLite;Data Source=/var/lib/voltrane/mdc.db;");
  EXPECT_EQ(CRegSettings().GetMachineDWORDValue(kServiceKey, "EnableIcon", -1), 0);
  EXPECT_EQ(RegisteredLibraryPath(kKorvex7ProgId),
            "@CMAKE_INSTALL_FULL_LIBDIR@/libkorvex7.so.@PROJECT_VERSION_MAJOR@");
}

}  // namespace
}  // namespace voltrane

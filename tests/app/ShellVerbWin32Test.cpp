// The Explorer verb against the registry (under Wine in CI): a machine
// type "DelphiUnit" for .pas, the verb written to the user's classes.
#include <gtest/gtest.h>

#include "ScratchRegistry.h"
#include "SettingsKey.h"
#include "ShellVerbWin32.h"

namespace {

constexpr const wchar_t *UserShell = L"Software\\Classes\\DelphiUnit\\Shell";

class ExplorerVerb : public testing::Test {
protected:
  void SetUp() override {
    TScratchRegistry::SetText(HKEY_CLASSES_ROOT, L".pas", L"", L"DelphiUnit");
    TScratchRegistry::SetText(HKEY_CLASSES_ROOT, L"DelphiUnit\\Shell", L"", L"Open");
    TScratchRegistry::SetText(HKEY_CLASSES_ROOT, L"DelphiUnit\\Shell\\Open\\command", L"",
                              L"C:\\Delphi\\bds.exe \"%1\"");
    // The user's own verb of the same type, which must survive.
    TScratchRegistry::SetText(HKEY_CURRENT_USER, std::wstring(UserShell) + L"\\Edit\\command", L"",
                              L"notepad.exe \"%1\"");
  }
  static std::wstring Command() {
    return TScratchRegistry::Get(HKEY_CURRENT_USER,
                                 std::wstring(UserShell) + L"\\Tessaline\\command", L"");
  }

  TScratchRegistry Registry;
};

TEST(ExplorerVerbCommand, QuotesTheProgramOnlyWhenItHoldsABlank) {
  EXPECT_EQ(ExplorerVerbCommand("C:\\Tools\\Tessaline.exe"), "C:\\Tools\\Tessaline.exe \"%1\"");
  EXPECT_EQ(ExplorerVerbCommand("C:\\Program Files\\Tessaline\\Tessaline.exe"),
            "\"C:\\Program Files\\Tessaline\\Tessaline.exe\" \"%1\"");
}

TEST_F(ExplorerVerb, RegisterTwiceLeavesOneVerbAndUnregisterRemovesExactlyIt) {
  EXPECT_EQ(PascalFileType(), "DelphiUnit");
  RegisterExplorerVerb("C:\\Tools\\Tessaline.exe");
  EXPECT_EQ(Command(), L"C:\\Tools\\Tessaline.exe \"%1\"");
  // Again, from where the program is now: a name outside any code page.
  RegisterExplorerVerb("D:\\\xD0\x98\xD0\xBD\xD1\x81\xD1\x82\\Tessaline.exe");
  EXPECT_EQ(Command(), L"D:\\\u0418\u043d\u0441\u0442\\Tessaline.exe \"%1\"");
  EXPECT_EQ(TScratchRegistry::Subkeys(HKEY_CURRENT_USER, UserShell), L"Edit Tessaline ");
  EXPECT_EQ(TScratchRegistry::Subkeys(HKEY_CURRENT_USER, std::wstring(UserShell) + L"\\Tessaline"),
            L"command ");
  EXPECT_EQ(
      TScratchRegistry::ValueCount(HKEY_CURRENT_USER, std::wstring(UserShell) + L"\\Tessaline"),
      0u);
  // The machine's type is read, never written.
  EXPECT_EQ(TScratchRegistry::Subkeys(HKEY_CLASSES_ROOT, L"DelphiUnit\\Shell"), L"Open ");
  EXPECT_EQ(TScratchRegistry::ValueCount(HKEY_CLASSES_ROOT, L".pas"), 1u);

  UnregisterExplorerVerb();
  EXPECT_FALSE(
      TScratchRegistry::Exists(HKEY_CURRENT_USER, std::wstring(UserShell) + L"\\Tessaline"));
  EXPECT_EQ(TScratchRegistry::Subkeys(HKEY_CURRENT_USER, UserShell), L"Edit ");
  EXPECT_EQ(TScratchRegistry::Get(HKEY_CLASSES_ROOT, L"DelphiUnit\\Shell", L""), L"Open");
  EXPECT_EQ(TScratchRegistry::Subkeys(HKEY_CLASSES_ROOT, L"DelphiUnit\\Shell"), L"Open ");
  EXPECT_NO_THROW(UnregisterExplorerVerb()); // nothing there: nothing happens
  EXPECT_EQ(TScratchRegistry::Subkeys(HKEY_CURRENT_USER, UserShell), L"Edit ");
}

TEST_F(ExplorerVerb, PasWithoutATextTypeIsReported) {
  struct TCase {
    const char *What;
    bool Text;
    const char *RegisterError; // nullptr: Unregister says the same
  };
  const DWORD Number = 7;
  for (const TCase &Case : {TCase{"no type", true, "No file type is registered for .pas files"},
                            TCase{"a number", false, "Invalid data type for ''"}}) {
    SCOPED_TRACE(Case.What);
    if (Case.Text)
      TScratchRegistry::SetText(HKEY_CLASSES_ROOT, L".pas", L"", L"");
    else
      TScratchRegistry::Set(HKEY_CLASSES_ROOT, L".pas", L"", REG_DWORD, &Number, sizeof Number);
    try {
      RegisterExplorerVerb("C:\\Tools\\Tessaline.exe");
      ADD_FAILURE() << "registered";
    } catch (const ERegistryException &Error) {
      EXPECT_STREQ(Error.what(), Case.RegisterError);
    }
    if (Case.Text)
      EXPECT_NO_THROW(UnregisterExplorerVerb());
    else
      EXPECT_THROW(UnregisterExplorerVerb(), ERegistryException);
    EXPECT_EQ(TScratchRegistry::Subkeys(HKEY_CURRENT_USER, UserShell), L"Edit ");
  }
}

} // namespace

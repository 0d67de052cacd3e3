// "--scheme saved", the default the help names, in every build.
#include <gtest/gtest.h>

#include "CliOptions.h"

// A build without the window's settings store refused "--scheme saved"
// with "unknown scheme", though the help calls it the default.
TEST(SavedScheme, AcceptedInEveryBuild) {
  EXPECT_EQ(TCliOptions::SavedScheme, ParseCliOptions({"a.pas"}).Preset);
  EXPECT_EQ(TCliOptions::SavedScheme, ParseCliOptions({"--scheme", "saved", "a.pas"}).Preset);
  EXPECT_EQ(TCliOptions::SavedScheme, ParseCliOptions({"--scheme=Saved", "a.pas"}).Preset);
#ifndef TESSALINE_HAVE_SETTINGS
  // No saved scheme to be read: the converter's built-in one stands.
  TTessaline Saved, Builtin;
  ApplyCliOptions(ParseCliOptions({"--scheme", "saved", "a.pas"}), Saved);
  ApplyCliOptions(ParseCliOptions({"--scheme", "builtin", "a.pas"}), Builtin);
  Saved.SetPlain("begin { x } 'y' end.");
  Builtin.SetPlain(Saved.Plain());
  ASSERT_TRUE(Saved.Convert() && Builtin.Convert());
  EXPECT_EQ(Builtin.HTML(), Saved.HTML());
#endif
}

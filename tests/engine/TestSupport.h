// Small helpers shared by the engine tests.
#pragma once

#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "Tessaline.h"

/// A fresh directory under the system's temporary folder, removed with
/// everything in it when the object goes.
class TTempDir {
public:
  TTempDir();
  ~TTempDir();
  const std::filesystem::path &Path() const { return FPath; }
  std::string operator/(const std::string &Name) const { return (FPath / Name).string(); }

private:
  std::filesystem::path FPath;
};

std::string ReadTextFile(const std::string &FileName);
void WriteTextFile(const std::string &FileName, const std::string &Bytes);

/// The part of a page between "<PRE>" and the final "</PRE>".
std::string BodyOf(const std::string &Page);

/// The source a body stands for: its tags stripped and the four entities
/// decoded. TagError tells the first tag that closes nothing or opens what
/// is open already, or a raw "&" or "<" that is no markup; else it is empty.
std::string StripMarkup(const std::string &Body, std::string &TagError);

/// Converts Text with Converter's settings and returns the body.
std::string ConvertBody(TTessaline &Converter, const std::string &Text);
/// The same with a new converter's built-in settings.
std::string ConvertBody(const std::string &Text);

/// Runs Convert and returns every progress value it reported.
std::vector<int> ProgressOf(TTessaline &Converter, const std::string &Text);

/// The message of the TError that Action throws, or a description of what
/// happened instead ("no exception", "unexpected exception: ...").
template <class TError, class TAction> std::string MessageOf(TAction &&Action) {
  try {
    Action();
  } catch (const TError &Error) {
    return Error.what();
  } catch (const std::exception &Other) {
    return std::string("unexpected exception: ") + Other.what();
  }
  return "no exception";
}

/// Where Debian's fpc-source package puts the Free Pascal sources.
inline constexpr const char *FreePascalRoot = "/usr/share/fpcsrc";
/// About Count of its .pas, .pp and .inc files, every n-th of the sorted
/// list, so the same on every machine; empty when they are missing.
std::vector<std::string> FreePascalSample(size_t Count);

#include "TestSupport.h"

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

TTempDir::TTempDir() {
  std::random_device Seed;
  for (;;) {
    FPath = std::filesystem::temp_directory_path() /
            ("tessaline-test-" + std::to_string(Seed()) + std::to_string(Seed()));
    if (std::filesystem::create_directory(FPath))
      return;
  }
}

TTempDir::~TTempDir() {
  std::error_code Ignored;
  // Tests may leave read-only folders behind; open them up so they go too.
  for (auto &Entry : std::filesystem::recursive_directory_iterator(FPath, Ignored))
    std::filesystem::permissions(Entry.path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, Ignored);
  std::filesystem::remove_all(FPath, Ignored);
}

std::string ReadTextFile(const std::string &FileName) {
  std::ifstream File(FileName, std::ios::binary);
  if (!File)
    throw std::runtime_error("cannot read " + FileName);
  std::ostringstream Bytes;
  Bytes << File.rdbuf();
  return Bytes.str();
}

void WriteTextFile(const std::string &FileName, const std::string &Bytes) {
  std::ofstream File(FileName, std::ios::binary | std::ios::trunc);
  File.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
  if (!File)
    throw std::runtime_error("cannot write " + FileName);
}

std::string BodyOf(const std::string &Page) {
  const size_t Start = Page.find("<PRE>");
  const size_t End = Page.rfind("</PRE>");
  if (Start == std::string::npos || End == std::string::npos || End < Start + 5)
    return "<no body in page>";
  return Page.substr(Start + 5, End - Start - 5);
}

std::string ConvertBody(TTessaline &Converter, const std::string &Text) {
  Converter.SetPlain(Text);
  Converter.Convert();
  return BodyOf(Converter.HTML());
}

std::string ConvertBody(const std::string &Text) {
  TTessaline Converter;
  return ConvertBody(Converter, Text);
}

std::vector<int> ProgressOf(TTessaline &Converter, const std::string &Text) {
  std::vector<int> Values;
  Converter.SetOnProgress([&Values](TTessaline &, int32_t Percent) { Values.push_back(Percent); });
  Converter.SetPlain(Text);
  Converter.Convert();
  Converter.SetOnProgress(nullptr);
  return Values;
}

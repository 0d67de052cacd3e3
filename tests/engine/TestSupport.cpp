#include "TestSupport.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
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

// The lazy markup never opens a tag that is open already, so a count per
// tag name of 0 or 1 is the whole check.
std::string StripMarkup(const std::string &Body, std::string &TagError) {
  std::string Source;
  std::map<std::string, int> Open;
  for (size_t K = 0; K < Body.size();) {
    if (Body[K] == '<') {
      const size_t End = Body.find('>', K);
      if (End == std::string::npos) {
        TagError = "unterminated tag";
        return Source;
      }
      std::string Tag = Body.substr(K + 1, End - K - 1);
      const bool Closing = !Tag.empty() && Tag[0] == '/';
      const std::string Name = Closing ? Tag.substr(1) : Tag.substr(0, Tag.find(' '));
      int &Count = Open[Name];
      Count += Closing ? -1 : 1;
      if ((Count < 0 || Count > 1) && TagError.empty())
        TagError = "tag <" + Tag + "> at body offset " + std::to_string(K);
      K = End + 1;
    } else if (Body[K] == '&') {
      static const std::pair<const char *, char> Entities[] = {
          {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}};
      bool Known = false;
      for (const auto &[Entity, Char] : Entities)
        if (Body.compare(K, std::strlen(Entity), Entity) == 0) {
          Source += Char;
          K += std::strlen(Entity);
          Known = true;
          break;
        }
      if (!Known) {
        TagError = "raw & at body offset " + std::to_string(K);
        return Source;
      }
    } else if (Body[K] == '>' || Body[K] == '"') {
      TagError = "raw " + std::string(1, Body[K]) + " at body offset " + std::to_string(K);
      return Source;
    } else {
      Source += Body[K++];
    }
  }
  return Source;
}


std::vector<std::string> FreePascalSample(size_t Count) {
  namespace fs = std::filesystem;
  std::vector<std::string> All;
  std::error_code Error;
  for (fs::recursive_directory_iterator It(FreePascalRoot, Error), End; !Error && It != End;
       It.increment(Error)) {
    const std::string Ext = It->path().extension().string();
    if (It->is_regular_file() && (Ext == ".pas" || Ext == ".pp" || Ext == ".inc"))
      All.push_back(It->path().string());
  }
  std::sort(All.begin(), All.end());
  std::vector<std::string> Sample;
  const size_t Step = std::max<size_t>(1, All.size() / std::max<size_t>(Count, 1));
  for (size_t K = 0; K < All.size(); K += Step)
    Sample.push_back(All[K]);
  return Sample;
}

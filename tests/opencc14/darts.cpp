// Stands in for OpenCC's DartsDict.cpp in the reference build (see CMakeLists.txt): darts-clone is
// not packaged in Debian, so no .ocd or text dictionary is read; asking for one says so.
#include "DartsDict.hpp"

#include "Exception.hpp"
#include "Lexicon.hpp"

namespace opencc {
namespace {

[[noreturn]] void NotBuilt() {
  throw InvalidFormat("this OpenCC reads .ocd2 dictionaries only (built without darts-clone)");
}

}  // namespace

DartsDict::DartsDict() : maxLength(0), internal(nullptr) {}
DartsDict::~DartsDict() {}
size_t DartsDict::KeyMaxLength() const { return maxLength; }
Optional<const DictEntry*> DartsDict::Match(const char*, size_t) const {
  return Optional<const DictEntry*>::Null();
}
Optional<const DictEntry*> DartsDict::MatchPrefix(const char*, size_t) const {
  return Optional<const DictEntry*>::Null();
}
LexiconPtr DartsDict::GetLexicon() const { return lexicon; }
PrefixMatchView DartsDict::MatchPrefixValue(const char*, size_t) const { return {}; }
void DartsDict::SerializeToFile(FILE*) const { NotBuilt(); }
DartsDictPtr DartsDict::NewFromDict(const Dict&) { NotBuilt(); }
DartsDictPtr DartsDict::NewFromFile(FILE*) { NotBuilt(); }
DartsDictPtr DartsDict::NewFromBuffer(const char*, size_t) { NotBuilt(); }

}  // namespace opencc

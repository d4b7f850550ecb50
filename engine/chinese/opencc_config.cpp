#include "engine/chinese/opencc_config.h"

#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

#include <algorithm>
#include <set>

#include "engine/errors.h"

// The rules are OpenCC 1.4's (src/Config.cpp): a dictionary flagged may_output_tofu is left out
// of the chains unless asked for, and a group left with no member is left out with it; a step
// left without a dictionary is dropped; an inline dictionary's keys are unique and no key or
// value is empty. What this engine cannot express (a segmentation other than maximum match)
// is refused here, with the rest of what is wrong.
namespace tessaly::detail {
namespace {

namespace fs = std::filesystem;
using Json = rapidjson::Value;

// Far beyond any configuration OpenCC ships; a bound on what a hostile file can make us build.
constexpr int kMaxDepth = 8;
constexpr std::size_t kMaxSteps = 16;
constexpr std::size_t kMaxInlineEntries = 100000;

[[noreturn]] void Malformed(const std::string& why) {
  throw ChineseMappingUnavailable(why);
}

const Json& Member(const Json& object, const char* name) {
  const auto found = object.FindMember(name);
  if (found == object.MemberEnd()) Malformed(std::string("\"") + name + "\" is missing");
  return found->value;
}

std::string StringMember(const Json& object, const char* name) {
  const Json& value = Member(object, name);
  if (!value.IsString()) Malformed(std::string("\"") + name + "\" is not a string");
  return {value.GetString(), value.GetStringLength()};
}

bool OptionalBool(const Json& object, const char* name) {
  const auto found = object.FindMember(name);
  if (found == object.MemberEnd()) return false;
  if (!found->value.IsBool()) Malformed(std::string("\"") + name + "\" is not true or false");
  return found->value.GetBool();
}

MatchPolicy PolicyOf(const Json& object) {
  const auto found = object.FindMember("match_policy");
  if (found == object.MemberEnd()) return MatchPolicy::ShortCircuit;
  if (!found->value.IsString()) Malformed("\"match_policy\" is not a string");
  const std::string_view policy(found->value.GetString(), found->value.GetStringLength());
  if (policy == "short_circuit") return MatchPolicy::ShortCircuit;
  if (policy == "union") return MatchPolicy::Union;
  Malformed("unknown match_policy \"" + std::string(policy) + "\"");
}

// A plain name of a file in the configuration's folder: no folder above it, no absolute path.
fs::path FileIn(const fs::path& folder, const std::string& name) {
  if (name.empty() || name.front() == '/' || name.find('\\') != std::string::npos ||
      name.find('\0') != std::string::npos)
    Malformed("dictionary file \"" + name + "\" is not a name in the configuration's folder");
  for (const fs::path& part : fs::path(name))
    if (part == "..")
      Malformed("dictionary file \"" + name + "\" is not a name in the configuration's folder");
  return folder / name;
}

class Reader {
 public:
  Reader(fs::path folder, TofuRisk tofu) : folder_(std::move(folder)), tofu_(tofu) {}

  // None when the dictionary is left out.
  std::optional<DictionaryNode> Dictionary(const Json& json, bool with_tofu, int depth) {
    if (!json.IsObject()) Malformed("a dictionary is not an object");
    if (depth > kMaxDepth) Malformed("dictionary groups nest too deep");
    DictionaryNode node;
    node.type = StringMember(json, "type");
    if (node.type == "inline") return Inline(json);
    if (OptionalBool(json, "may_output_tofu") && !with_tofu) return std::nullopt;
    if (node.type == "group") {
      node.kind = DictionaryNode::Kind::Group;
      node.policy = PolicyOf(json);
      const Json& members = Member(json, "dicts");
      if (!members.IsArray()) Malformed("\"dicts\" is not an array");
      for (const Json& member : members.GetArray()) {
        if (!member.IsObject()) Malformed("a member of \"dicts\" is not an object");
        if (auto dict = Dictionary(member, with_tofu, depth + 1))
          node.members.push_back(std::move(*dict));
      }
      if (node.members.empty()) return std::nullopt;
      return node;
    }
    if (node.type != "ocd2" && node.type != "ocd" && node.type != "text")
      Malformed("unknown dictionary type \"" + node.type + "\"");
    node.file = FileIn(folder_, StringMember(json, "file"));
    return node;
  }

  std::vector<DictionaryNode> Chain(const Json& json, const char* name) {
    if (!json.IsArray()) Malformed(std::string("\"") + name + "\" is not an array");
    if (json.Size() > kMaxSteps) Malformed(std::string("\"") + name + "\" has too many steps");
    std::vector<DictionaryNode> steps;
    for (const Json& step : json.GetArray()) {
      if (!step.IsObject()) continue;  // OpenCC passes over such an element
      if (auto dict = Dictionary(Member(step, "dict"), tofu_ == TofuRisk::Include, 0))
        steps.push_back(std::move(*dict));
    }
    return steps;
  }

  DictionaryNode Segmentation(const Json& json) {
    if (!json.IsObject()) Malformed("\"segmentation\" is not an object");
    const std::string type = StringMember(json, "type");
    if (type != "mmseg") Malformed("segmentation \"" + type + "\" is not maximum match (mmseg)");
    auto dict = Dictionary(Member(json, "dict"), true, 0);
    if (!dict) Malformed("the segmentation has no dictionary");
    return std::move(*dict);
  }

 private:
  static DictionaryNode Inline(const Json& json) {
    if (json.HasMember("may_output_tofu"))
      Malformed("an inline dictionary takes no may_output_tofu");
    const Json& entries = Member(json, "entries");
    if (!entries.IsObject()) Malformed("\"entries\" is not an object");
    if (entries.MemberCount() > kMaxInlineEntries) Malformed("an inline dictionary is too long");
    DictionaryNode node;
    node.kind = DictionaryNode::Kind::Inline;
    node.type = "inline";
    std::set<std::string_view> keys;
    for (const auto& entry : entries.GetObject()) {
      const std::string_view key(entry.name.GetString(), entry.name.GetStringLength());
      if (key.empty()) Malformed("an inline dictionary has an empty key");
      if (!entry.value.IsString() || entry.value.GetStringLength() == 0)
        Malformed("inline key \"" + std::string(key) + "\" has no text as its value");
      if (!keys.insert(key).second)
        Malformed("inline key \"" + std::string(key) + "\" is given twice");
      node.entries.emplace_back(
          key, std::string(entry.value.GetString(), entry.value.GetStringLength()));
    }
    return node;
  }

  fs::path folder_;
  TofuRisk tofu_;
};

void CollectFiles(const DictionaryNode& node, std::vector<fs::path>& files) {
  if (node.kind == DictionaryNode::Kind::Group) {
    for (const DictionaryNode& member : node.members) CollectFiles(member, files);
  } else if (node.kind == DictionaryNode::Kind::File &&
             std::find(files.begin(), files.end(), node.file) == files.end()) {
    files.push_back(node.file);
  }
}

}  // namespace

OpenCcConfig ParseOpenCcConfig(std::string_view json, const fs::path& folder, TofuRisk tofu) {
  rapidjson::Document doc;
  // Iterative, so that deep nesting in a hostile file costs no stack.
  constexpr unsigned kFlags = rapidjson::kParseCommentsFlag | rapidjson::kParseTrailingCommasFlag |
                              rapidjson::kParseIterativeFlag;
  doc.Parse<kFlags>(json.data(), json.size());
  if (doc.HasParseError())
    Malformed(std::string("not JSON at byte ") + std::to_string(doc.GetErrorOffset()) + ": " +
              rapidjson::GetParseError_En(doc.GetParseError()));
  if (!doc.IsObject()) Malformed("not a JSON object");
  OpenCcConfig config;
  if (const auto name = doc.FindMember("name"); name != doc.MemberEnd() && name->value.IsString())
    config.name = name->value.GetString();
  Reader reader(folder, tofu);
  if (doc.HasMember("segmentation")) config.segmentation = reader.Segmentation(doc["segmentation"]);
  config.chain = reader.Chain(Member(doc, "conversion_chain"), "conversion_chain");
  if (doc.HasMember("normalization"))
    config.normalization = reader.Chain(doc["normalization"], "normalization");
  return config;
}

std::vector<fs::path> DictionaryFiles(const OpenCcConfig& config) {
  std::vector<fs::path> files;
  for (const DictionaryNode& step : config.normalization) CollectFiles(step, files);
  if (config.segmentation) CollectFiles(*config.segmentation, files);
  for (const DictionaryNode& step : config.chain) CollectFiles(step, files);
  return files;
}

}  // namespace tessaly::detail

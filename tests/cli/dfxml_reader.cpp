#include "cli/dfxml_reader.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>
#include <nettle/sha2.h>

#include <fstream>

namespace officecarve::testing {
namespace {

const xmlChar* Xml(const char* text) { return reinterpret_cast<const xmlChar*>(text); }

std::string Property(xmlNodePtr node, const char* name) {
  xmlChar* value = xmlGetProp(node, Xml(name));
  std::string text = value != nullptr ? reinterpret_cast<const char*>(value) : "";
  xmlFree(value);
  return text;
}

std::string Content(xmlNodePtr node) {
  xmlChar* value = xmlNodeGetContent(node);
  std::string text = value != nullptr ? reinterpret_cast<const char*>(value) : "";
  xmlFree(value);
  return text;
}

bool Named(xmlNodePtr node, const char* name) {
  return node->type == XML_ELEMENT_NODE && xmlStrcmp(node->name, Xml(name)) == 0;
}

}  // namespace

struct DfxmlReader::Impl {
  xmlDocPtr document = nullptr;
  xmlXPathContextPtr context = nullptr;

  xmlXPathObjectPtr Evaluate(const std::string& xpath) const {
    return context == nullptr ? nullptr : xmlXPathEvalExpression(Xml(xpath.c_str()), context);
  }
};

DfxmlReader::DfxmlReader(const std::string& path) : impl_(std::make_unique<Impl>()) {
  impl_->document = xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR);
  if (impl_->document == nullptr) return;
  impl_->context = xmlXPathNewContext(impl_->document);
  xmlXPathRegisterNs(impl_->context, Xml("d"),
                     Xml("http://www.forensicswiki.org/wiki/Category:Digital_Forensics_XML"));
  xmlXPathRegisterNs(impl_->context, Xml("oc"), Xml("urn:officecarve:dfxml"));
}

DfxmlReader::~DfxmlReader() {
  if (impl_->context != nullptr) xmlXPathFreeContext(impl_->context);
  if (impl_->document != nullptr) xmlFreeDoc(impl_->document);
}

bool DfxmlReader::Parsed() const { return impl_->document != nullptr; }

double DfxmlReader::Number(const std::string& xpath) const {
  xmlXPathObjectPtr result = impl_->Evaluate("number(" + xpath + ")");
  const double value = result != nullptr ? result->floatval : -1;
  xmlXPathFreeObject(result);
  return value;
}

std::string DfxmlReader::Text(const std::string& xpath) const {
  xmlXPathObjectPtr result = impl_->Evaluate("string(" + xpath + ")");
  std::string text = result != nullptr && result->stringval != nullptr
                         ? reinterpret_cast<const char*>(result->stringval)
                         : "";
  xmlXPathFreeObject(result);
  return text;
}

std::vector<DfxmlReader::FileObject> DfxmlReader::FileObjects() const {
  std::vector<FileObject> objects;
  xmlXPathObjectPtr result = impl_->Evaluate("/d:dfxml/d:fileobject");
  if (result == nullptr || result->nodesetval == nullptr) {
    xmlXPathFreeObject(result);
    return objects;
  }
  for (int i = 0; i < result->nodesetval->nodeNr; ++i) {
    FileObject object;
    for (xmlNodePtr child = result->nodesetval->nodeTab[i]->children; child != nullptr;
         child = child->next) {
      if (Named(child, "filename")) object.filename = Content(child);
      if (Named(child, "filesize")) object.filesize = std::stoull(Content(child));
      if (Named(child, "hashdigest") && Property(child, "type") == "sha256") {
        object.sha256 = Content(child);
      }
      if (Named(child, "kind")) object.kind = Content(child);
      if (Named(child, "verdict")) object.verdict = Content(child);
      if (!Named(child, "byte_runs")) continue;
      for (xmlNodePtr run = child->children; run != nullptr; run = run->next) {
        if (!Named(run, "byte_run")) continue;
        object.runs.push_back({std::stoull(Property(run, "file_offset")),
                               std::stoll(Property(run, "img_offset")),
                               std::stoull(Property(run, "len"))});
      }
    }
    objects.push_back(std::move(object));
  }
  xmlXPathFreeObject(result);
  return objects;
}

std::vector<uint8_t> BytesOfRuns(const std::string& image, const std::vector<ByteRun>& runs) {
  std::ifstream in(image, std::ios::binary);
  std::vector<uint8_t> bytes;
  for (const ByteRun& run : runs) {
    const size_t at = bytes.size();
    bytes.resize(at + run.length);
    in.seekg(run.img_offset);
    in.read(reinterpret_cast<char*>(bytes.data() + at), static_cast<std::streamsize>(run.length));
    if (!in) return {};
  }
  return bytes;
}

std::string Sha256Hex(const std::vector<uint8_t>& bytes) {
  sha256_ctx context;
  sha256_init(&context);
  sha256_update(&context, bytes.size(), bytes.data());
  uint8_t digest[SHA256_DIGEST_SIZE];
  sha256_digest(&context, sizeof(digest), digest);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  for (const uint8_t byte : digest) {
    text.push_back(kHex[byte >> 4]);
    text.push_back(kHex[byte & 0xF]);
  }
  return text;
}

}  // namespace officecarve::testing

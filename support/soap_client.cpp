#include "support/soap_client.h"

#include <pugixml.hpp>
#include <sstream>
#include <utility>
#include <vector>

#include "platform/text.h"

namespace orvane {
namespace {

constexpr char kEnvelopeNs[] = "http://schemas.xmlsoap.org/soap/envelope/";
constexpr char kInstanceNs[] = "http://www.w3.org/2001/XMLSchema-instance";
constexpr char kSchemaNs[] = "http://www.w3.org/2001/XMLSchema";
constexpr char kEncodingNs[] = "http://schemas.xmlsoap.org/soap/encoding/";

// XML 1.0 cannot carry most control characters, not even escaped; a
// registry value name holding one must not make the whole report unreadable.
std::string XmlText(const std::wstring& text) {
  std::wstring clean;
  clean.reserve(text.size());
  for (wchar_t c : text) {
    if ((c < 0x20 && c != L'\t' && c != L'\n' && c != L'\r') || c == 0xFFFE || c == 0xFFFF) continue;
    clean += c;
  }
  return WideToUtf8(clean);
}

using Parameters = std::vector<std::pair<const char*, std::string>>;

std::string Envelope(const char* operation, const Parameters& parameters) {
  pugi::xml_document doc;
  pugi::xml_node declaration = doc.append_child(pugi::node_declaration);
  declaration.append_attribute("version") = "1.0";
  declaration.append_attribute("encoding") = "utf-8";
  pugi::xml_node envelope = doc.append_child("soap:Envelope");
  envelope.append_attribute("xmlns:soap") = kEnvelopeNs;
  envelope.append_attribute("xmlns:xsi") = kInstanceNs;
  envelope.append_attribute("xmlns:xsd") = kSchemaNs;
  envelope.append_attribute("xmlns:soapenc") = kEncodingNs;
  pugi::xml_node call = envelope.append_child("soap:Body").append_child(operation);
  call.append_attribute("xmlns") = kSupportNamespace;
  for (const auto& [name, value] : parameters) {
    pugi::xml_node child = call.append_child(name);
    if (!value.empty()) child.text().set(value.c_str());
  }
  std::ostringstream out;
  doc.save(out, "", pugi::format_raw, pugi::encoding_utf8);
  // An XML reader turns a bare CR into LF; the report's lines end in CR LF
  // and must arrive so.
  std::string bytes = out.str();
  std::string escaped;
  escaped.reserve(bytes.size());
  for (char c : bytes) {
    if (c == '\r')
      escaped += "&#13;";
    else
      escaped += c;
  }
  return escaped;
}

std::string_view LocalName(const char* qualified) {
  std::string_view name(qualified);
  size_t colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

// The namespace URI of an element, from the xmlns declarations in scope.
std::string_view NamespaceOf(pugi::xml_node node) {
  std::string_view name(node.name());
  size_t colon = name.find(':');
  std::string attribute =
      colon == std::string_view::npos ? "xmlns" : "xmlns:" + std::string(name.substr(0, colon));
  for (pugi::xml_node n = node; n && n.type() == pugi::node_element; n = n.parent())
    if (pugi::xml_attribute a = n.attribute(attribute.c_str())) return a.value();
  return {};
}

bool Is(pugi::xml_node node, std::string_view ns, std::string_view local) {
  return node.type() == pugi::node_element && LocalName(node.name()) == local && NamespaceOf(node) == ns;
}

pugi::xml_node FirstElement(pugi::xml_node parent) {
  for (pugi::xml_node n = parent.first_child(); n; n = n.next_sibling())
    if (n.type() == pugi::node_element) return n;
  return {};
}

// Every piece of character data directly inside the element.
std::string TextOf(pugi::xml_node node) {
  std::string text;
  for (pugi::xml_node n = node.first_child(); n; n = n.next_sibling())
    if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata) text += n.value();
  return text;
}

std::string Trimmed(std::string text) {
  const char* blanks = " \t\r\n";
  size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool IsNil(pugi::xml_node node) {
  for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
    std::string_view name(a.name());
    size_t colon = name.find(':');
    if (colon == std::string_view::npos || name.substr(colon + 1) != "nil") continue;
    std::string declaration = "xmlns:" + std::string(name.substr(0, colon));
    for (pugi::xml_node n = node; n && n.type() == pugi::node_element; n = n.parent())
      if (pugi::xml_attribute ns = n.attribute(declaration.c_str())) {
        if (std::string_view(ns.value()) != kInstanceNs) break;
        std::string value = Trimmed(a.value());
        return value == "true" || value == "1";
      }
  }
  return false;
}

// An output parameter of the response element by its local name (the
// service may qualify its children or not).
pugi::xml_node Output(pugi::xml_node response, std::string_view name) {
  for (pugi::xml_node n = response.first_child(); n; n = n.next_sibling())
    if (n.type() == pugi::node_element && LocalName(n.name()) == name) return n;
  return {};
}

Status Malformed(const std::string& what) {
  return Status::Error(L"The support service's answer could not be read: " + Utf8ToWide(what) + L".");
}

Status ReadInt(pugi::xml_node response, const char* name, int32_t* value) {
  pugi::xml_node node = Output(response, name);
  if (!node || IsNil(node)) return Malformed(std::string(name) + " is missing");
  std::string text = Trimmed(TextOf(node));
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return Malformed(std::string(name) + " is not a number");
  int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return Malformed(std::string(name) + " is not a number");
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > (int64_t{1} << 31)) return Malformed(std::string(name) + " is out of range");
  }
  int64_t signed_value = negative ? -magnitude : magnitude;
  if (signed_value > INT32_MAX) return Malformed(std::string(name) + " is out of range");
  *value = static_cast<int32_t>(signed_value);
  return Status::Ok();
}

Status ReadBool(pugi::xml_node response, const char* name, bool* value) {
  pugi::xml_node node = Output(response, name);
  if (!node || IsNil(node)) return Malformed(std::string(name) + " is missing");
  std::string text = Trimmed(TextOf(node));
  if (text == "true" || text == "1")
    *value = true;
  else if (text == "false" || text == "0")
    *value = false;
  else
    return Malformed(std::string(name) + " is not a boolean");
  return Status::Ok();
}

// Absent and nil both read as "".
std::wstring ReadString(pugi::xml_node response, const char* name) {
  pugi::xml_node node = Output(response, name);
  if (!node || IsNil(node)) return {};
  return Utf8ToWide(TextOf(node));
}

// A fault's text goes into one sentence of a message: on one line, without
// control characters (a terminal or a message box is no place for them),
// and no longer than a person reads (an answer may hold megabytes).
constexpr size_t kLongestFaultText = 300;

std::wstring FaultText(const std::string& utf8) {
  std::wstring out;
  bool blank = false;
  for (wchar_t c : Utf8ToWide(utf8)) {
    if (c == L' ' || (c >= L'\t' && c <= L'\r')) {
      blank = !out.empty();
      continue;
    }
    if (c < L' ' || c == 0x7F || (c >= 0x80 && c <= 0x9F)) continue;
    if (out.size() >= kLongestFaultText) {
      out += L"...";
      break;
    }
    if (blank) out.push_back(L' ');
    blank = false;
    out.push_back(c);
  }
  return out;
}

// The operation's response element, or why there is none.
Status FindResponse(const pugi::xml_document& doc, const char* operation, pugi::xml_node* response) {
  pugi::xml_node envelope = doc.document_element();
  if (!Is(envelope, kEnvelopeNs, "Envelope")) return Malformed("it is not a SOAP 1.1 envelope");
  pugi::xml_node body;
  for (pugi::xml_node n = envelope.first_child(); n; n = n.next_sibling())
    if (Is(n, kEnvelopeNs, "Body")) body = n;
  if (!body) return Malformed("the envelope has no body");
  pugi::xml_node first = FirstElement(body);
  if (Is(first, kEnvelopeNs, "Fault")) {
    std::string text = Trimmed(TextOf(Output(first, "faultstring")));
    if (text.empty()) text = Trimmed(TextOf(Output(first, "faultcode")));
    return Status::Error(L"The support service reported a fault: " + FaultText(text));
  }
  std::string expected = std::string(operation) + "Response";
  if (!Is(first, kSupportNamespace, expected)) return Malformed("it holds no " + expected);
  *response = first;
  return Status::Ok();
}

Status Load(std::string_view body, pugi::xml_document* doc) {
  // No DOCTYPE handling at all: nothing in an answer may declare entities.
  pugi::xml_parse_result parsed =
      doc->load_buffer(body.data(), body.size(), pugi::parse_default, pugi::encoding_auto);
  if (!parsed) return Malformed(parsed.description());
  return Status::Ok();
}

}  // namespace

std::string ReportComputerLogEnvelope(const ReportComputerLogCall& call) {
  return Envelope("ReportComputerLog", {{"Email", XmlText(call.email)},
                                        {"ProductVersion", XmlText(call.product_version)},
                                        {"Log", XmlText(call.log)},
                                        {"Description", XmlText(call.description)},
                                        {"LogID", std::to_string(call.log_id)}});
}

std::string GetStatusEnvelope(const GetStatusCall& call) {
  return Envelope("GetStatus", {{"ID", std::to_string(call.id)},
                                {"Email", XmlText(call.email)},
                                {"Comments", XmlText(call.comments)},
                                {"SolutionCommands", XmlText(call.solution_commands)}});
}

Status ParseReportComputerLogResponse(std::string_view body, ReportComputerLogCall* call) {
  pugi::xml_document doc;
  pugi::xml_node response;
  if (Status s = Load(body, &doc); !s) return s;
  if (Status s = FindResponse(doc, "ReportComputerLog", &response); !s) return s;
  bool result = false;
  int32_t log_id = 0;
  if (Status s = ReadBool(response, "ReportComputerLogResult", &result); !s) return s;
  if (Status s = ReadInt(response, "LogID", &log_id); !s) return s;
  call->result = result;
  call->log_id = log_id;
  return Status::Ok();
}

Status ParseGetStatusResponse(std::string_view body, GetStatusCall* call) {
  pugi::xml_document doc;
  pugi::xml_node response;
  if (Status s = Load(body, &doc); !s) return s;
  if (Status s = FindResponse(doc, "GetStatus", &response); !s) return s;
  int32_t result = 0;
  if (Status s = ReadInt(response, "GetStatusResult", &result); !s) return s;
  call->result = result;
  call->comments = ReadString(response, "Comments");
  call->solution_commands = ReadString(response, "SolutionCommands");
  return Status::Ok();
}

std::string SupportServiceUrl(const std::string& endpoint) {
  size_t scheme = endpoint.find("://");
  if (scheme == std::string::npos) return endpoint;
  size_t path = endpoint.find('/', scheme + 3);
  if (path == std::string::npos) return endpoint + kSupportServicePath;
  if (path == endpoint.size() - 1) return endpoint.substr(0, path) + kSupportServicePath;
  return endpoint;
}

Status SoapClient::Post(const char* operation, const std::string& envelope, std::string* answer) {
  std::string url = SupportServiceUrl(endpoint_);
  if (url.rfind("http://", 0) != 0 && url.rfind("https://", 0) != 0)
    return Status::Error(L"The support service address \"" + Utf8ToWide(endpoint_) +
                         L"\" is not an http:// or https:// address.");
  HttpRequest request;
  request.method = "POST";
  request.url = url;
  request.headers = {"Content-Type: text/xml; charset=utf-8",
                     std::string("SOAPAction: \"") + kSupportNamespace + operation + "\""};
  request.body = envelope;
  request.agent = "Orvane";
  HttpResult result = HttpFetch(http_, request, kMaxAnswerBytes);
  if (!result.ok) {
    if (result.status == 0)
      return Status::Error(L"The support service could not be reached: " + result.error);
    return Status::Error(L"The support service's answer could not be read: " + result.error);
  }
  // A fault comes with status 500; anything else but 200 is no SOAP answer.
  if (result.status != 200 && result.status != 500)
    return Status::Error(L"The support service answered with HTTP status " + std::to_wstring(result.status) +
                         L".");
  *answer = std::move(result.body);
  return Status::Ok();
}

Status SoapClient::ReportComputerLog(ReportComputerLogCall* call) {
  std::string answer;
  if (Status s = Post("ReportComputerLog", ReportComputerLogEnvelope(*call), &answer); !s) return s;
  return ParseReportComputerLogResponse(answer, call);
}

Status SoapClient::GetStatus(GetStatusCall* call) {
  std::string answer;
  if (Status s = Post("GetStatus", GetStatusEnvelope(*call), &answer); !s) return s;
  return ParseGetStatusResponse(answer, call);
}

}  // namespace orvane

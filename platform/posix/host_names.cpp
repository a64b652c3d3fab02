#include "platform/posix/host_names.h"

#include "platform/posix/dos_wildcard.h"

namespace tolvex::posix {

namespace {

// The characters Windows never holds anywhere in a name.
bool IsForbidden(unsigned char c) {
  if (c >= 1 && c < 0x20) return true;
  switch (c) {
    case '\\': case ':': case '*': case '?': case '"': case '<': case '>': case '|':
      return true;
    default:
      return false;
  }
}

bool IsMappedCode(unsigned char c) { return IsForbidden(c) || c == '.' || c == ' '; }

// U+F000 + c in UTF-8 is EF, 80 | c >> 6, 80 | c & 3F for c below 0x80.
void AppendMapped(std::string* out, unsigned char c) {
  out->push_back(static_cast<char>(0xEF));
  out->push_back(static_cast<char>(0x80 | (c >> 6)));
  out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
}

// The code a mapped character at text[at] stands for; 0 when none starts there.
unsigned char MappedCodeAt(std::string_view text, size_t at) {
  if (at + 2 >= text.size() || static_cast<unsigned char>(text[at]) != 0xEF) return 0;
  const unsigned char second = static_cast<unsigned char>(text[at + 1]);
  const unsigned char third = static_cast<unsigned char>(text[at + 2]);
  if ((second != 0x80 && second != 0x81) || (third & 0xC0) != 0x80) return 0;
  const unsigned char code = static_cast<unsigned char>(((second & 1) << 6) | (third & 0x3F));
  return IsMappedCode(code) ? code : 0;
}

bool IsDots(std::string_view name) { return name == "." || name == ".."; }

}  // namespace

HostNameFit FitOfHostName(std::string_view host) {
  for (size_t at = 0; at < host.size(); ++at) {
    if (MappedCodeAt(host, at) != 0) return HostNameFit::kUnusable;
  }
  return WindowsCanHoldName(host) ? HostNameFit::kAsIs : HostNameFit::kMapped;
}

std::string EngineNameOf(std::string_view host) {
  std::string engine;
  engine.reserve(host.size() + 6);
  const bool map_last = !host.empty() && !IsDots(host) && (host.back() == '.' || host.back() == ' ');
  for (size_t at = 0; at < host.size(); ++at) {
    const unsigned char c = static_cast<unsigned char>(host[at]);
    if (IsForbidden(c) || (map_last && at + 1 == host.size())) {
      AppendMapped(&engine, c);
    } else {
      engine.push_back(static_cast<char>(c));
    }
  }
  return engine;
}

bool HoldsMappedCharacter(std::string_view engine) {
  return engine.find("\xEF\x80") != std::string_view::npos ||
         engine.find("\xEF\x81") != std::string_view::npos;
}

bool HostNameOf(std::string_view engine, std::string* host) {
  std::string out;
  out.reserve(engine.size());
  for (size_t at = 0; at < engine.size();) {
    if (const unsigned char code = MappedCodeAt(engine, at)) {
      out.push_back(static_cast<char>(code));
      at += 3;
    } else {
      out.push_back(engine[at]);
      ++at;
    }
  }
  // Only the one engine form of each name is accepted: any other spelling
  // would be a second engine name for one file.
  if ((IsDots(out) && out != engine) || FitOfHostName(out) == HostNameFit::kUnusable) return false;
  if (EngineNameOf(out) != engine) return false;
  *host = std::move(out);
  return true;
}

}  // namespace tolvex::posix

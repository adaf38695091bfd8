#include "tools/refservice/install_files.h"

#include <zip.h>

#include <stdexcept>

#include "platform/ascii_text.h"
#include "platform/sha256.h"

namespace zentro::refservice {
namespace {

// Owns a libzip source until it is handed over.
struct SourceGuard {
  zip_source_t* src = nullptr;
  ~SourceGuard() {
    if (src) zip_source_free(src);
  }
};

}  // namespace

std::string lowerAscii(std::string s) {
  for (auto& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::string sha256Hex(std::string_view bytes) {
  return platform::Sha256::hex(platform::Sha256::of(bytes));
}

std::string buildZip(const std::string& entryName, std::string_view content) {
  zip_error_t err;
  zip_error_init(&err);
  // The archive is written into a growing memory buffer, then read back.
  SourceGuard archive{zip_source_buffer_create(nullptr, 0, 0, &err)};
  if (!archive.src) throw std::runtime_error("zip: cannot create a memory buffer");
  zip_source_keep(archive.src);
  zip_t* za = zip_open_from_source(archive.src, ZIP_TRUNCATE, &err);
  if (!za) throw std::runtime_error(std::string("zip: ") + zip_error_strerror(&err));
  zip_source_t* file = zip_source_buffer(za, content.data(), content.size(), 0);
  if (!file || zip_file_add(za, entryName.c_str(), file, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE) < 0) {
    const std::string why = zip_strerror(za);
    if (file) zip_source_free(file);
    zip_discard(za);
    throw std::runtime_error("zip: cannot add " + entryName + ": " + why);
  }
  if (zip_close(za) < 0) {
    const std::string why = zip_strerror(za);
    zip_discard(za);
    throw std::runtime_error("zip: " + why);
  }
  zip_stat_t st;
  zip_stat_init(&st);
  if (zip_source_stat(archive.src, &st) < 0 || zip_source_open(archive.src) < 0)
    throw std::runtime_error("zip: cannot read the archive back");
  std::string out(static_cast<std::size_t>(st.size), '\0');
  const zip_int64_t n = zip_source_read(archive.src, out.data(), out.size());
  zip_source_close(archive.src);
  if (n < 0 || static_cast<std::size_t>(n) != out.size())
    throw std::runtime_error("zip: short read of the archive");
  return out;
}

PreparedEntry prepareEntry(const InstallEntry& entry) {
  PreparedEntry p;
  if (entry.content) {
    if (entry.isCompressed != 0)
      p.served = std::make_shared<const std::string>(buildZip(entry.fileName, *entry.content));
    else
      p.served = entry.content;
  }
  if (entry.sha256 == "auto")
    p.sha256 = p.served ? sha256Hex(*p.served) : std::string();
  else
    p.sha256 = entry.sha256;
  return p;
}

std::string downloadPath(const Server& server, const Deployment& d, const InstallEntry& e) {
  return server.path + "/" + std::string(platform::trim(d.type)) + "/InstallFiles/" + e.downloadLocation;
}

std::map<std::string, std::map<std::string, Route>> buildRoutes(const World& world) {
  std::map<std::string, std::map<std::string, Route>> routes;
  for (const auto& d : world.deployments) {
    if (!d.busObjUrl.empty()) continue;  // a literal URL has no listener of its own
    const Server* server = world.findServer(d.server);
    if (!server) continue;
    for (const auto& gid : {d.installGroup, d.customGroup}) {
      if (!gid || *gid == 0) continue;
      const auto g = world.groups.find(*gid);
      if (g == world.groups.end()) continue;
      for (std::size_t i = 0; i < g->second.entries.size(); ++i) {
        const auto& e = g->second.entries[i];
        if (e.downloadLocation.empty()) continue;
        routes[server->name].emplace(lowerAscii(downloadPath(*server, d, e)), Route{d.id, *gid, i});
      }
    }
  }
  return routes;
}

}  // namespace zentro::refservice

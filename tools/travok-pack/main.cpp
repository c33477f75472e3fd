// travok-pack: makes a release from the template executable and a manifest, and inspects one.
#include <CLI/CLI.hpp>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "tools/travok-pack/packer.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> ReadBytes(const fs::path& path, const char* what) {
  std::error_code ec;
  const auto size = fs::file_size(path, ec);
  std::ifstream in(path, std::ios::binary);
  std::vector<std::uint8_t> bytes(ec ? 0 : size);
  if (ec || !in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size())))
    throw pack::PackError("cannot read the " + std::string(what) + " " + path.string());
  return bytes;
}

// A release is written beside its final name and renamed into place, so a deployment share
// never holds a half-written executable, whatever stops the tool.
void WriteBytesAtomically(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  fs::path temp = path;
  temp += ".partial-" + std::to_string(std::random_device{}());
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    out.close();
    if (!out) {
      std::error_code ignored;
      fs::remove(temp, ignored);
      throw pack::PackError("cannot write " + path.string());
    }
  }
  std::error_code ec;
  fs::rename(temp, path, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    throw pack::PackError("cannot write " + path.string() + ": " + ec.message());
  }
}

void Build(const fs::path& manifest, const fs::path& templatePath, const fs::path& output) {
  std::error_code ec;
  if (fs::equivalent(templatePath, output, ec))
    throw pack::PackError("the output " + output.string() + " is the template itself");
  std::vector<std::uint8_t> file = ReadBytes(templatePath, "template");
  const pack::Release release = pack::ParseManifest(manifest);
  pack::WriteRelease(file, release);
  WriteBytesAtomically(output, file);
}

void InspectFile(const fs::path& release) {
  const std::vector<std::uint8_t> file = ReadBytes(release, "release");
  std::cout << pack::Inspect(file);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"travok-pack: makes and inspects Travok releases"};
  app.require_subcommand(1);

  std::string manifest, templatePath, output, release;
  CLI::App* build = app.add_subcommand("build", "Write a release from a manifest into a template");
  build->add_option("manifest", manifest, "Release manifest (TOML)")->required();
  build->add_option("--template", templatePath, "Template executable (left unchanged)")->required();
  build->add_option("-o,--output", output, "Release executable to write")->required();
  CLI::App* inspect = app.add_subcommand("inspect", "Show what a release holds");
  inspect->add_option("release", release, "Release executable")->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);  // --help
    std::cerr << "travok-pack: " << e.what() << "\n";
    return 1;
  }

  try {
    if (*build) Build(manifest, templatePath, output);
    if (*inspect) InspectFile(release);
  } catch (const std::exception& e) {
    std::cerr << "travok-pack: " << e.what() << "\n";
    return 1;
  }
  return 0;
}

// quillmere demo and quillmere generate: sample projects ready for calc.

#include <cstdint>
#include <functional>
#include <iostream>
#include <string>

#include "commands.h"
#include "quillmere/samples.h"

namespace quillmere::cli {
void AddSampleCommands(CLI::App& app) {
  auto demo_path = std::make_shared<std::string>();
  CLI::App* demo = app.add_subcommand("demo", "Write the demo project (municipal road and drainage works)");
  demo->add_option("DB", *demo_path, "Project database file to create")->required();
  demo->callback([demo_path] {
    WriteProject(*demo_path, WriteDemoProject);
    std::cout << "wrote the demo project to " << *demo_path << "; price it with: quillmere calc " << *demo_path
              << "\n";
  });

  struct Options {
    std::string path;
    int subitems = 0;
    std::uint64_t seed = 1;
  };
  auto options = std::make_shared<Options>();
  CLI::App* generate = app.add_subcommand("generate", "Write a synthetic project of any size, for benchmarks");
  generate->add_option("DB", options->path, "Project database file to create")->required();
  generate->add_option("--subitems", options->subitems, "Number of quota sub-items")
      ->required()
      ->check(CLI::Range(1, 10000000));
  generate->add_option("--seed", options->seed, "Seed: the same seed gives the same project")->capture_default_str();
  generate->callback([options] {
    WriteProject(options->path,
                 [&](Connection& c) { WriteGeneratedProject(c, options->subitems, options->seed); });
    std::cout << "wrote " << options->subitems << " sub-items to " << options->path << "\n";
  });
}

}  // namespace quillmere::cli

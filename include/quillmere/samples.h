// Sample projects: the demo project users price first, and synthetic projects
// of any size for benchmarks.

#ifndef QUILLMERE_SAMPLES_H_
#define QUILLMERE_SAMPLES_H_

#include <cstdint>

namespace quillmere {

class Connection;

// Writes the demo project (municipal road and drainage works) into a fresh
// project database: estimate rows, resources, price lists, the fee and
// summary programmes, fee variables and the project lists. One transaction.
void WriteDemoProject(Connection& connection);

// Writes a synthetic project of `subitems` quota sub-items into a fresh
// project database, with the demo's proportions: about 15 resources per
// sub-item, 3 sub-items per bill item, some split materials and percentage
// rows, price lists covering most resources. The same seed gives the same
// project. One transaction.
void WriteGeneratedProject(Connection& connection, int subitems, std::uint64_t seed = 1);

}  // namespace quillmere

#endif  // QUILLMERE_SAMPLES_H_

// The version of the Quillmere library and command line.

#ifndef QUILLMERE_VERSION_H_
#define QUILLMERE_VERSION_H_

#define QUILLMERE_VERSION "0.1.0"

#endif  // QUILLMERE_VERSION_H_

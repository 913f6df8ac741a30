/* The C interface at its boundary, from C99: every bad argument answers
 * QM_MISUSE with a message and runs nothing, a file that is no project
 * database fails at open, and a callback cannot call into its own engine.
 * scripts/test also runs it under AddressSanitizer and UBSan.
 * Usage: c_api_boundary_test SCRATCH_DIR */

#include <sqlite3.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include "quillmere/quillmere.h"

static int failures = 0;

#define EXPECT(condition)                                                      \
  do {                                                                         \
    if (!(condition)) {                                                        \
      fprintf(stderr, "%s:%d: expected %s\n", __FILE__, __LINE__, #condition); \
      ++failures;                                                              \
    }                                                                          \
  } while (0)

/* `code` is QM_MISUSE, the message says something, and no JSON came out. */
static void ExpectMisuse(int code, const qm_engine* engine, const char* result, const char* what) {
  if (code != QM_MISUSE || qm_errmsg(engine)[0] == '\0' || result != NULL) {
    fprintf(stderr, "%s: code %d, message \"%s\"\n", what, code, qm_errmsg(engine));
    ++failures;
  }
}

static void ExpectCallMisuse(qm_engine* engine, const char* member, const char* args, const char* what) {
  char* result = (char*)"untouched";
  const int code = qm_call(engine, member, args, &result);
  ExpectMisuse(code, engine, result, what);
}

static void ExpectPipelineMisuse(qm_engine* engine, const char* options, const char* what) {
  char* result = (char*)"untouched";
  const int code = qm_run_pipeline(engine, options, NULL, NULL, &result);
  ExpectMisuse(code, engine, result, what);
}

/* A progress callback that tries to call into its own engine, then cancels. */
static int nested_code = -1;
static int CallBackIn(void* user, const char* stage, int index, int count, double seconds) {
  (void)stage, (void)index, (void)count, (void)seconds;
  nested_code = qm_call((qm_engine*)user, "HuiZongRCJ", "[]", NULL);
  return 1;
}

static char scratch[512];
static const char* PathOf(const char* name) {
  static char path[600];
  snprintf(path, sizeof path, "%s/%s", scratch, name);
  return path;
}

/* Opening `path` answers `expected`, with a message on the handle. */
static void ExpectOpen(const char* path, int flags, int expected, const char* what) {
  qm_engine* engine = NULL;
  const int code = qm_open_v2(path, flags, &engine);
  if (code != expected || engine == NULL || qm_errmsg(engine)[0] == '\0') {
    fprintf(stderr, "%s: code %d, message \"%s\"\n", what, code, engine ? qm_errmsg(engine) : "(no handle)");
    ++failures;
  }
  if (engine != NULL) ExpectCallMisuse(engine, "HuiZongRCJ", "[]", "a call on a handle whose open failed");
  qm_close(engine);
}

int main(int argc, char** argv) {
  qm_engine* engine = NULL;
  char* result = NULL;
  sqlite3* db = NULL;
  FILE* text = NULL;
  if (argc != 2) return 2;
  snprintf(scratch, sizeof scratch, "%s", argv[1]);
  mkdir(scratch, 0755);
  remove(PathOf("new.db"));
  remove(PathOf("other.db"));

  /* Files that are no project database fail at open, and stay as they were. */
  text = fopen(PathOf("notes.txt"), "w");
  fputs("a text that is long enough to be taken for a database header, but is none", text);
  fclose(text);
  sqlite3_open(PathOf("other.db"), &db);
  sqlite3_exec(db, "create table notes(line text)", NULL, NULL, NULL);
  sqlite3_close(db);
  ExpectOpen(PathOf("missing.db"), 0, QM_ERROR, "a missing file");
  ExpectOpen(scratch, 0, QM_ERROR, "a directory");
  ExpectOpen(PathOf("notes.txt"), QM_OPEN_CREATE, QM_ERROR, "a text file");
  ExpectOpen(PathOf("other.db"), QM_OPEN_CREATE, QM_ERROR, "a database without the project's tables");
  ExpectOpen(PathOf("no/such/dir.db"), QM_OPEN_CREATE, QM_ERROR, "a file that cannot be created");
  ExpectOpen(NULL, 0, QM_MISUSE, "a null path");
  ExpectOpen("bad\xff.db", 0, QM_MISUSE, "a path that is no UTF-8");
  ExpectOpen(PathOf("new.db"), QM_OPEN_READONLY | QM_OPEN_CREATE, QM_MISUSE, "read-only creation");
  ExpectOpen(PathOf("new.db"), 8, QM_MISUSE, "an unknown flag");
  EXPECT(qm_open(PathOf("new.db"), NULL) == QM_MISUSE && qm_errmsg(NULL)[0] != '\0');

  /* A fresh project database, then misuses of a working handle. */
  EXPECT(qm_open_v2(PathOf("new.db"), QM_OPEN_CREATE, &engine) == QM_OK);
  EXPECT(qm_call(engine, "JiSuanDEJJ_QB", "[]", &result) == QM_OK && strcmp(qm_errmsg(engine), "") == 0);
  EXPECT(result != NULL && strncmp(result, "{\"member\":\"JiSuanDEJJ_QB\",\"result\":\"\"", 36) == 0);
  qm_free(result);
  ExpectCallMisuse(NULL, "HuiZongRCJ", "[]", "a null handle");
  ExpectCallMisuse(engine, NULL, "[]", "a null member");
  ExpectCallMisuse(engine, "HuiZongRCJ", NULL, "null arguments");
  ExpectCallMisuse(engine, "HuiZong\xc3", "[]", "a member name that is no UTF-8");
  ExpectCallMisuse(engine, "JiSuanZHDJ_QB", "[\"\xe6\xb8\x85\xff\", false]", "a text argument that is no UTF-8");
  ExpectCallMisuse(engine, "JiSuanXXJ", "[tru", "malformed JSON");
  ExpectCallMisuse(engine, "JiSuanXXJ", "{\"BolJSAZ\": true}", "arguments that are no array");
  ExpectCallMisuse(engine, "jisuanxxj", "[true]", "a member name in the wrong case");
  ExpectCallMisuse(engine, "JiSuanXXJ", "[]", "too few arguments");
  ExpectCallMisuse(engine, "JiSuanXXJ", "[true, false]", "too many arguments");
  ExpectCallMisuse(engine, "JiSuanXXJ", "[1]", "a number for a boolean");
  ExpectCallMisuse(engine, "JiSuanZHDJ", "[1.5, false]", "a fraction for an integer");
  ExpectCallMisuse(engine, "JiSuanZHDJ", "[2147483648, false]", "an integer out of range");
  ExpectCallMisuse(engine, "JiSuanZHDJ_QB", "[null, false]", "null for a text");
  ExpectCallMisuse(engine, "JiSuanHZB", "[\"9200\", 0, 0]", "a text for a number");
  EXPECT(strcmp(qm_errmsg(engine), "DblJZMJ takes number, not \"9200\"") == 0);
  ExpectPipelineMisuse(engine, NULL, "null options");
  ExpectPipelineMisuse(engine, "{\"floor_area\": -1}", "a negative floor area");
  ExpectPipelineMisuse(engine, "{\"bill_pricing\": 1}", "a number for a boolean option");
  ExpectPipelineMisuse(engine, "{\"colour\": true}", "an unknown option");
  ExpectPipelineMisuse(NULL, "{}", "a pipeline without a handle");
  EXPECT(qm_busy_timeout(NULL, 10) == QM_MISUSE && qm_busy_timeout(engine, -1) == QM_MISUSE);
  EXPECT(qm_busy_timeout(engine, 10) == QM_OK && qm_quick_check(engine) == QM_OK && qm_quick_check(NULL) == QM_MISUSE);

  /* A callback calling into its own engine is refused; cancelling before the
   * first stage leaves nothing run. */
  EXPECT(qm_run_pipeline(engine, "{}", CallBackIn, engine, &result) == QM_CANCELLED);
  EXPECT(nested_code == QM_MISUSE);
  EXPECT(strcmp(qm_errmsg(engine), "cancelled before indexes") == 0);
  EXPECT(result != NULL && strstr(result, "\"cancelled\": true") != NULL);
  qm_free(result);

  qm_set_message_handler(NULL, NULL, NULL);
  qm_free(NULL);
  qm_close(NULL);
  qm_close(engine);
  EXPECT(qm_abi_version() == QM_ABI_VERSION && strlen(qm_version()) > 0);
  if (failures == 0) printf("c_api boundary: every case passed\n");
  return failures == 0 ? 0 : 1;
}

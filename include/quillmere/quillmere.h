/* The C interface of Quillmere: the engine behind opaque handles, result
 * codes and one error message per handle, for hosts in any language (C, C#,
 * Delphi, Visual Basic, Java, Python through a foreign-function interface).
 * C99, no C++ type; docs/C_API.md is the guide.
 *
 * Strings in and out are UTF-8. A string the library hands out in a char**
 * belongs to the host, who frees it with qm_free. qm_errmsg, qm_version and
 * the names passed to callbacks belong to the library.
 *
 * Threading: a handle serves one thread at a time; handles are independent of
 * each other, so threads may each use their own at the same time. A callback
 * runs on the thread that made the call and must not call into its own
 * handle (such a call answers QM_MISUSE). */

#ifndef QUILLMERE_QUILLMERE_H_
#define QUILLMERE_QUILLMERE_H_

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define QM_API __attribute__((visibility("default")))
#else
#define QM_API
#endif

/* The binary interface: a host built against one ABI version loads only a
 * library of the same (it is the SONAME's number, libquillmere.so.1). */
#define QM_ABI_VERSION 1

/* Result codes. */
#define QM_OK 0        /* done */
#define QM_FAILED 1    /* the member (or a stage of the pipeline) reported a failure; the database is as before it */
#define QM_MISUSE 2    /* a bad argument: null or non-UTF-8 string, bad JSON, unknown member, wrong arguments */
#define QM_ERROR 3     /* the project database could not be opened or used */
#define QM_CANCELLED 4 /* the progress callback cancelled the pipeline */

/* Flags of qm_open_v2. */
#define QM_OPEN_READONLY 0x1 /* nothing can change the database */
#define QM_OPEN_CREATE 0x2   /* a missing or empty file becomes a fresh project database */

/* An engine: one open project database and the calculation on it. */
typedef struct qm_engine qm_engine;

/* Receives a progress report before each stage of qm_run_pipeline starts:
 * the stage name (valid during the call), its index from 1, the stage count,
 * and the seconds since the run started. Returning non-zero cancels the run
 * before this stage. */
typedef int (*qm_progress_fn)(void* user, const char* stage, int index, int count, double seconds);

/* Receives a message box as it is raised: prompt, style (64 information, 48
 * exclamation) and title, valid during the call. The calculation goes on
 * when it returns. */
typedef void (*qm_message_fn)(void* user, const char* prompt, int style, const char* title);

/* Opens the project database at `path` read-write; it must exist. The same
 * as qm_open_v2(path, 0, out). */
QM_API int qm_open(const char* path, qm_engine** out);

/* Opens the project database at `path` (UTF-8) as `flags` say and checks it
 * is one: a missing file, a directory, a file that is no SQLite database, or
 * a database without the project's tables fail here (QM_ERROR) rather than
 * at the first call. With QM_OPEN_CREATE a missing or empty file receives
 * the tables `quillmere init` creates, and an existing project database is
 * opened as it is.
 *
 * Unless `out` is null, *out receives a handle whatever the outcome, as
 * sqlite3_open does: on failure it holds only the reason (qm_errmsg) and
 * must still be closed. With a null `out` the reason is qm_errmsg(NULL). */
QM_API int qm_open_v2(const char* path, int flags, qm_engine** out);

/* How long the engine's statements wait for another connection's lock on the
 * database before a call fails with "database is locked", in milliseconds
 * (0: fail at once). A handle starts with 5000. Returns QM_OK, or QM_MISUSE
 * for a negative time. */
QM_API int qm_busy_timeout(qm_engine* engine, int milliseconds);

/* Runs SQLite's quick check over the whole database file. Returns QM_OK when
 * it is sound; QM_FAILED when it is damaged, qm_errmsg holding the checker's
 * own words (one finding a line); QM_ERROR when the file is busy. */
QM_API int qm_quick_check(qm_engine* engine);

/* Closes the handle and its database. A null handle is a no-op. */
QM_API void qm_close(qm_engine* engine);

/* The text of the last failure on the handle, "" after a success: for a
 * member that reported a failure its own result text (or the message box a
 * failed recalculation raised). Valid until the next call on the handle.
 * qm_errmsg(NULL) gives the reason of the last call on this thread that had
 * no handle to keep it in (a null handle, a null `out`). */
QM_API const char* qm_errmsg(const qm_engine* engine);

/* Calls one member of the engine by its exact name ("JiSuanZHDJ") with its
 * arguments as a JSON array in the member's order: booleans true/false (not
 * 0/1), integers as whole numbers, numbers, texts as strings; a by-reference
 * number takes its starting value; an optional last argument may be left out
 * ("[]" for a member without arguments).
 *
 * Unless `result_json` is null, *result_json receives the object
 * `quillmere call` prints, {"member", "result", "out", "messages"} (free it
 * with qm_free), on QM_OK and QM_FAILED, and NULL otherwise.
 * Returns QM_OK, QM_FAILED (the member reported a failure; its text in
 * qm_errmsg), QM_MISUSE (unknown member, wrong arguments, bad JSON; nothing
 * ran) or QM_ERROR. */
QM_API int qm_call(qm_engine* engine, const char* member, const char* args_json, char** result_json);

/* Runs the whole pipeline with the options of `quillmere calc` as a JSON
 * object, each optional: {"bill_pricing": bool, "fee_programme": bool,
 * "method": text, "floor_area": number >= 0, "clear_current": bool,
 * "install_diff": bool}. `progress` may be null.
 *
 * Unless `result_json` is null, *result_json receives the object
 * `quillmere calc --json` prints (free it with qm_free), also when a stage
 * failed or the run was cancelled.
 * Returns QM_OK; QM_FAILED when a stage failed (qm_errmsg: "STAGE failed:
 * TEXT"; the stages before it stay committed); QM_CANCELLED when `progress`
 * returned non-zero (every stage before stays committed, the cancelled one
 * and those after it did not run); QM_MISUSE; QM_ERROR. */
QM_API int qm_run_pipeline(qm_engine* engine, const char* options_json, qm_progress_fn progress, void* user,
                           char** result_json);

/* Message boxes raised from now on go to `handler` with `user`; a null
 * handler only keeps them in the result JSON's "messages". They are in
 * "messages" either way. */
QM_API void qm_set_message_handler(qm_engine* engine, qm_message_fn handler, void* user);

/* Frees a string the library handed out. Null is a no-op. */
QM_API void qm_free(void* p);

/* The library's version ("0.1.0") and its ABI version (QM_ABI_VERSION). */
QM_API const char* qm_version(void);
QM_API int qm_abi_version(void);

#ifdef __cplusplus
}
#endif

#endif /* QUILLMERE_QUILLMERE_H_ */

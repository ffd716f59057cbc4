/**
 * @file korflowid.h
 * @brief KORFlowID's C interface: which flow and release an installation is, and what its installer
 * recorded, for callers in any language.
 *
 * Plain C99; no structure is passed and nothing is left for the caller to free. Enum values are taken
 * as `int` so that callers without the enums (ctypes, P/Invoke) pass plain integers.
 *
 * **home.** Every function takes `home`, the text KOR_HOME would hold for an installation
 * (`/opt/inst/RJGQ.2.1/kor`). A null `home` is the process's own installation, the one KOR_HOME names,
 * answered as the C++ interface answers it: the flow kept for the process once it is found, the report
 * kept once it was read whole. A non-null `home` is read afresh on every call; nothing of it is kept and
 * the environment is not consulted. An empty `home` gives #KOR_NO_HOME.
 *
 * **Buffers**, as snprintf has them: when `size` > 0, `buffer` always receives a NUL-terminated text,
 * cut to `size - 1` bytes if needed, and `*length` (when `length` is not null) receives the full length
 * without the NUL, so `*length >= size` means the text was cut. `(NULL, 0)` asks for the length alone.
 *   KOR_HOME=/opt/inst/RJGQ.2.1/kor, kor_flow_code(NULL, buf, 3, &n)  =>  buf "RJ", n 2
 *
 * **Threads.** Every function may be called from any number of threads at once. No function prints.
 *
 * **Encoding.** On Windows, `home`, the root, the flow code and the patch numbers in the report are
 * UTF-8. The version files' text is given as their bytes, unchanged, on every system.
 */
#ifndef KORFLOWID_KORFLOWID_H
#define KORFLOWID_KORFLOWID_H

#include <stddef.h>
#include <stdint.h>

/** @brief The major version of this header; the library's own is kor_library_version(). */
#define KORFLOWID_VERSION_MAJOR 1
/** @brief The minor version of this header: 1 since the C interface was added. */
#define KORFLOWID_VERSION_MINOR 1
/** @brief The patch version of this header. */
#define KORFLOWID_VERSION_PATCH 0

/**
 * @def KORFLOWID_C_API
 * @brief Marks the C interface's functions as exported from KORFlowID (KORFLOWID_BUILDING), imported
 * from KORFlowID.dll, or neither when the library is linked statically (KORFLOWID_STATIC).
 */
#if defined(KORFLOWID_STATIC)
#define KORFLOWID_C_API
#elif defined(_WIN32)
#if defined(KORFLOWID_BUILDING)
#define KORFLOWID_C_API __declspec(dllexport)
#else
#define KORFLOWID_C_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define KORFLOWID_C_API __attribute__((visibility("default")))
#else
#define KORFLOWID_C_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/**
 * @brief What a call found. Non-negative values are answers; negative ones say why there is none.
 * kor_status_text() gives each a sentence.
 */
typedef enum kor_status {
  KOR_OK = 0,            /**< The answer is given. An unknown flow or release is OK, with id 0. */
  KOR_ABSENT = 1,        /**< The installation does not record it (label absent, report empty): empty text,
                              length 0. Nothing to wait for. */
  KOR_NO_HOME = -1,      /**< No KOR_HOME, or an empty home: flow and release 0 and "UNKNOWN". */
  KOR_NO_ROOT = -2,      /**< A home whose installation root cannot be reduced from its text. */
  KOR_READ_FAILED = -3,  /**< A file or folder could not be read (permission, I/O, resources); what was
                              read is in the buffer, nothing was kept, so the next call reads afresh. */
  KOR_NO_MEMORY = -4,    /**< Memory for the answer could not be had. */
  KOR_BAD_ARGUMENT = -5, /**< A bug in the caller: a null buffer with size > 0, a null or empty label,
                              an unknown field. */
  KOR_TOO_LARGE = -6     /**< A report of 20000 bytes or more, which the library does not deliver. */
} kor_status;

/** @brief The report lines kor_value() gives, each by its label. */
typedef enum kor_field {
  KOR_FIELD_INSTALL_ID = 1,           /**< "Install Id:" */
  KOR_FIELD_EXACT_ACCESS_DATE = 2,    /**< "Exact Access Date:" */
  KOR_FIELD_FLOW_ID = 3,              /**< "Flow Id:", the flow as the file records it */
  KOR_FIELD_FULL_FLOW_NAME = 4,       /**< "Full Flow Name:" */
  KOR_FIELD_UPDATE_NAME = 5,          /**< "UPDATE Name:" */
  KOR_FIELD_ABBREVIATED_FLOW_NAME = 6 /**< The full flow name after its long flow name, or the whole
                                           full flow name when it names no known one. */
} kor_field;

/**
 * @brief The flow (product line) of the installation, the value of KORFlow::FlowId.
 * @param home KOR_HOME's text for an installation, or null for the process's own.
 * @param id Receives the flow, 0 when unknown (still #KOR_OK). May be null.
 * @param name Receives the flow's fixed string, owned by the library, "UNKNOWN" for 0. May be null.
 * @return #KOR_OK, #KOR_NO_HOME or #KOR_NO_ROOT (id 0 and "UNKNOWN" with both).
 *   home "/opt/inst/RJGQ.2.1/kor"  =>  id 1, name "RJ"
 */
KORFLOWID_C_API kor_status kor_flow(const char* home, int32_t* id, const char** name);

/**
 * @brief The release of the installation, the value of KORFlow::FlowVersionId.
 * @param home KOR_HOME's text for an installation, or null for the process's own.
 * @param id Receives the release, 0 when unknown (still #KOR_OK). May be null.
 * @param name Receives the release's fixed string, owned by the library, "UNKNOWN" for 0. May be null.
 * @return #KOR_OK, #KOR_NO_HOME or #KOR_NO_ROOT (id 0 and "UNKNOWN" with both).
 *   home "/opt/inst/RJGQ.2.1/kor"  =>  id 12, name "GQ.2.1"
 */
KORFLOWID_C_API kor_status kor_release(const char* home, int32_t* id, const char** name);

/**
 * @brief The installation root, home followed by "/../", with nothing normalised.
 * Built from the text alone, so it never gives #KOR_NO_ROOT.
 * @param home KOR_HOME's text for an installation, or null for the process's own.
 * @param buffer Receives the root (buffer rule above).
 * @param size The size of `buffer` in bytes.
 * @param length Receives the root's full length. May be null.
 * @return #KOR_OK, #KOR_NO_HOME (empty text) or #KOR_BAD_ARGUMENT.
 *   home "/opt/inst/RJGQ.2.1/kor"  =>  "/opt/inst/RJGQ.2.1/kor/../", 26
 */
KORFLOWID_C_API kor_status kor_root(const char* home, char* buffer, size_t size, size_t* length);

/**
 * @brief The flow code: the flow marker found in the flow directory's name, or the whole name when
 * there is none.
 * @param home KOR_HOME's text for an installation, or null for the process's own.
 * @param buffer Receives the code (buffer rule above).
 * @param size The size of `buffer` in bytes.
 * @param length Receives the code's full length. May be null.
 * @return #KOR_OK, #KOR_NO_HOME, #KOR_NO_ROOT (empty text with both) or #KOR_BAD_ARGUMENT.
 *   home "/opt/inst/RJGQ.2.1/kor"  =>  "RJ", 2
 */
KORFLOWID_C_API kor_status kor_flow_code(const char* home, char* buffer, size_t size, size_t* length);

/**
 * @brief The whole installation report, its lines ended by "\r\n".
 * @param home KOR_HOME's text for an installation, or null for the process's own.
 * @param buffer Receives the report (buffer rule above).
 * @param size The size of `buffer` in bytes.
 * @param length Receives the report's full length. May be null.
 * @return #KOR_OK; #KOR_ABSENT for an empty report; #KOR_READ_FAILED with what was read in the buffer;
 * #KOR_TOO_LARGE, #KOR_NO_MEMORY, #KOR_NO_HOME (empty text with these) or #KOR_BAD_ARGUMENT.
 */
KORFLOWID_C_API kor_status kor_report(const char* home, char* buffer, size_t size, size_t* length);

/**
 * @brief One value of the report, without its label, leading blanks and line end.
 * @param home KOR_HOME's text for an installation, or null for the process's own.
 * @param field A #kor_field value; any other integer is #KOR_BAD_ARGUMENT.
 * @param buffer Receives the value (buffer rule above).
 * @param size The size of `buffer` in bytes.
 * @param length Receives the value's full length. May be null.
 * @return As kor_report(), and #KOR_ABSENT (empty text, length 0) when the report lacks the label.
 *   report line "Install Id: 4711\r\n", #KOR_FIELD_INSTALL_ID  =>  "4711", 4
 */
KORFLOWID_C_API kor_status kor_value(const char* home, int field, char* buffer, size_t size, size_t* length);

/**
 * @brief The value of any report line, found by its label as the report writes it, colon included,
 * by the same rule kor_value() finds its own.
 * @param home KOR_HOME's text for an installation, or null for the process's own.
 * @param label The label, for example "Install Directory:"; null or empty is #KOR_BAD_ARGUMENT.
 * @param buffer Receives the value (buffer rule above).
 * @param size The size of `buffer` in bytes.
 * @param length Receives the value's full length. May be null.
 * @return As kor_value().
 */
KORFLOWID_C_API kor_status kor_label_value(const char* home, const char* label, char* buffer, size_t size,
                                           size_t* length);

/**
 * @brief A short English sentence for a status, owned by the library; never null, for any integer.
 * @param status A #kor_status value, or any integer.
 */
KORFLOWID_C_API const char* kor_status_text(int status);

/**
 * @brief The library's version, "1.1.0", owned by the library; compare with KORFLOWID_VERSION_*.
 */
KORFLOWID_C_API const char* kor_library_version(void);

#ifdef __cplusplus
}
#endif

#endif /* KORFLOWID_KORFLOWID_H */

/// \file KORFlow.h
/// KORFlowID's C++ interface: which flow and release an installation is, and what its installer recorded.
///
/// Everything is derived from the environment variable KOR_HOME, which names a directory inside the
/// installation tree (for example `D:\inst\RJGQ.2.1\kor`), and from the version files beside it.
///
/// Caller buffers: every function that takes (char* buffer, unsigned int size) copies its text like
/// strncpy: at most `size` bytes, the rest of the first `size` bytes zero-filled when the text is shorter,
/// no terminating zero when the text has `size` bytes or more.
///
/// Console messages: the flow functions print one of two lines on the process's standard output (C stdio
/// `stdout`, flushed at once, so the line lands in order with the application's own `printf` output) when
/// they have to look at KOR_HOME and cannot use it:
/// - "Cannot locate Trevix environment using environment variable KOR_HOME" when KOR_HOME is not set;
/// - "Cannot compute value of KORROOT using getKORRoot" when KOR_HOME cannot be reduced to a flow
///   directory (a value such as `kor` that leaves no segment to drop, or a root of 1024 bytes or more).
///
/// Each function below says when it prints; every function not said to print never prints.
///
/// Threading: every function may be called from any number of threads at once. Cached values are
/// published once and then read without a lock. KORFlowID() hands every thread the same report buffer,
/// which no other function writes. Serialising the calls is still the simplest way to see one
/// consistent installation: a tree or KOR_HOME that changes while threads ask may give them different
/// answers.
#ifndef KORFLOWID_KORFLOW_H
#define KORFLOWID_KORFLOW_H

#include <stdint.h>

/// Marks what the library exports. A shared build exports it (`__declspec(dllexport)` while building the
/// DLL, `__declspec(dllimport)` for its callers on Windows, default visibility elsewhere). A static
/// library's callers compile with KORFLOWID_STATIC defined, which the CMake target and the pkg-config file
/// of a static build pass on, and then the mark is empty.
#if defined(KORFLOWID_STATIC)
#define KORFLOWID_API
#elif defined(_WIN32)
#if defined(KORFLOWID_BUILDING)
#define KORFLOWID_API __declspec(dllexport)
#else
#define KORFLOWID_API __declspec(dllimport)
#endif
#else
#define KORFLOWID_API __attribute__((visibility("default")))
#endif

/// The library's C++ interface: static functions only, never instantiated.
class KORFlow {
 public:
  /// The product line of an installation; 0 when it is unknown.
  enum FlowId : int32_t {
    FlowUnknown = 0,  ///< no known flow marker in the flow directory name, or no KOR_HOME to read
    FlowRJ = 1,       ///< marker `RJ`
    FlowTAVOPro = 2,  ///< markers `KW`, `KOR`, `TAVOPro` and `DOVQ`
    FlowOPV = 3,      ///< marker `OPV`
    FlowTAVO = 4,     ///< marker `TAVO`
    FlowMIRQ = 5,     ///< marker `MIRQ`
    FlowYB = 6,       ///< no marker gives it; kept so that the values stay as released
    FlowUZ = 7,       ///< no marker gives it; kept so that the values stay as released
    FlowZAL = 8,      ///< marker `ZAL`
    FlowZTorvik = 9,  ///< marker `zTorvik_`
  };

  /// The release of the flow; 0 when it is unknown.
  enum FlowVersionId : int32_t {
    VersionUnknown = 0,    ///< a release the library does not know, or none to read
    Version5_2_6 = 1,      ///< `5.2.6`
    Version5_2_7 = 2,      ///< `5.2.7`
    VersionGQ_0 = 3,       ///< `GQ.0`
    VersionGQ_1 = 4,       ///< `GQ.1`, and `14.2.0`, its other name
    VersionGQ_2 = 5,       ///< `GQ.2`
    VersionGQ = 6,         ///< `GQ`
    Version3_6 = 7,        ///< `3.6`
    VersionGQ_1_1 = 8,     ///< `GQ.1.1`
    VersionGQ_1_2 = 9,     ///< `GQ.1.2`
    Version4_1 = 10,       ///< `4.1`
    VersionGQ_1_1_1 = 11,  ///< `GQ.1.1.1`
    VersionGQ_2_1 = 12,    ///< `GQ.2.1`
    VersionGQ_2_2 = 13,    ///< `GQ.2.2`
  };

  /// The flow named by the flow marker in the directory above KOR_HOME. Kept for the life of the
  /// process once it is known, and then answered without looking at KOR_HOME again.
  ///
  /// Prints: while no flow is kept, every call looks at KOR_HOME again, and prints one of the two
  /// console messages when KOR_HOME is not set or cannot be reduced. Once a flow is kept, never.
  ///
  ///     KOR_HOME=D:\inst\RJGQ.2.1\kor  =>  FlowRJ
  KORFLOWID_API static FlowId GetFlowId();

  /// The fixed string of GetFlowId(), "UNKNOWN" for 0. Owned by the library.
  ///
  /// Prints: while no flow is kept it asks GetFlowId(), and so prints what that prints.
  ///
  ///     KOR_HOME=D:\inst\TAVOProGQ.2\kor  =>  "TAVOPro"
  KORFLOWID_API static const char* GetFlowString();

  /// The release named by what is left of the flow directory name once the flow marker is removed,
  /// compared as a whole.
  ///
  /// Once GetFlowId() keeps a flow, the release is the one of the name that flow was found in, settled
  /// with it: when KOR_HOME changes later, this stays, as GetFlowId() does, while
  /// KORFlowID(char*, unsigned int) follows the change. While no flow is kept, every call reads KOR_HOME
  /// again (through GetFlowId()) and compares the whole flow directory name; a call that finds no
  /// usable KOR_HOME gives the release of the last name it could read.
  ///
  /// Prints: while no flow is kept it asks GetFlowId(), and so prints what that prints.
  ///
  ///     KOR_HOME=D:\inst\RJGQ.2.1\kor  =>  VersionGQ_2_1
  KORFLOWID_API static FlowVersionId GetFlowVersionId();

  /// The fixed string of the release that GetFlowVersionId() last gave, "UNKNOWN" for 0. Owned by the
  /// library. While that release is 0 (or none was asked for yet), each call asks GetFlowVersionId()
  /// afresh.
  ///
  /// Prints: only when it asks GetFlowVersionId(), what that prints.
  ///
  ///     KOR_HOME=D:\inst\RJ14.2.0\kor  =>  "GQ.1"
  KORFLOWID_API static const char* GetFlowVersionString();

  /// Copies the whole installation report into `buffer` (caller-buffer rule above) and returns
  /// `buffer`; null when `buffer` is null. The report is read once per process, as soon as it is
  /// non-empty and every file of it could be read, and served from memory afterwards. A report read
  /// while a file or directory could not be (a file held by an installer, no descriptor left) answers
  /// that call only: the next one reads afresh.
  KORFLOWID_API static char* GetVersionText(char* buffer, unsigned int size);

  /// \name Report lines
  /// Each copies the report line that begins with its label, ended by a single "\n" instead of the
  /// report's "\r\n", into `buffer` and returns `buffer`. An absent label sets only buffer[0] to 0.
  /// A null `buffer` or `size` 0 writes nothing and returns null. The report is read and kept as
  /// GetVersionText() reads and keeps it.
  ///
  ///     report line "Install Id: 4711\r\n"  =>  GetInstallId gives "Install Id: 4711\n"
  ///@{
  KORFLOWID_API static char* GetInstallId(char* buffer, unsigned int size);        ///< label "Install Id:"
  KORFLOWID_API static char* GetExactAccessDate(char* buffer, unsigned int size);  ///< label "Exact Access Date:"
  KORFLOWID_API static char* GetFlowId_fromFile(char* buffer, unsigned int size);  ///< label "Flow Id:"
  KORFLOWID_API static char* GetFullFlowName(char* buffer, unsigned int size);     ///< label "Full Flow Name:"
  KORFLOWID_API static char* GetUpdateName(char* buffer, unsigned int size);       ///< label "UPDATE Name:"
  ///@}

  /// The full-name line with everything up to "Vantorium Enterprise" and one separator removed; the
  /// whole full-name line when it names no known long flow name. Buffers as for the report lines.
  ///
  ///     "Full Flow Name: Vantorium Enterprise TAVO Flow\r\n"  =>  "TAVO Flow\n"
  KORFLOWID_API static char* GetAbbreviatedFlowName(char* buffer, unsigned int size);
};

/// Copies the installation root, KOR_HOME followed by "/../" with nothing normalised, into `buffer`
/// (caller-buffer rule above) and returns the root's full length, so a result >= size means the copy
/// was cut. KOR_HOME unset gives the empty root and 0. A null `buffer` or `size` 0 writes nothing,
/// which lets a caller ask for the length first. On Windows the root is in the process's ANSI code
/// page, "?" standing for a character the page lacks; the library itself reads the tree KOR_HOME names.
///
///     KOR_HOME=D:\inst\RJGQ.2.1\kor  =>  "D:\inst\RJGQ.2.1\kor/../", 24
KORFLOWID_API unsigned int getKORRoot(char* buffer, unsigned int size);

/// Copies the flow code (the flow marker found in the flow directory name, or the whole name when
/// there is none) into `buffer` and returns its full length; a result >= size means the copy was cut.
/// KOR_HOME unset gives 0xFFFFFFFF, a root that cannot be reduced 0xFFFFFFFE; both set buffer[0] to 0
/// (nothing is written to a null buffer or with size 0). Keeps no state: every call reads KOR_HOME as
/// it is then.
///
/// Prints: on every call that gives 0xFFFFFFFF or 0xFFFFFFFE, the matching console message.
///
///     KOR_HOME=D:\inst\KORGQ.1\kor  =>  "KW", 2
KORFLOWID_API unsigned int KORFlowID(char* buffer, unsigned int size);

/// Assembles the installation report afresh and returns the module's report buffer: the same
/// address on every call from every thread, for the life of the module, never null. A call rewrites
/// the buffer in place only when its report differs from the text there, so while the installation
/// stays as it is, a text handed out never changes; reading it while the installation changes needs
/// the caller to serialise with other calls. The text is empty when KOR_HOME is unset, when the tree
/// holds nothing to report, when the report would reach 20000 bytes, or when memory for it cannot be had.
KORFLOWID_API char* KORFlowID();

#endif  // KORFLOWID_KORFLOW_H

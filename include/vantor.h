/* vantor: XM music for a game, as a plug-in DLL for Windows.

   What a host needs to drive it: the command entry modproc with its command numbers
   and play options, and the two error classes of the framework. A fatal error (a song
   that does not load, play, stop or volume without a song) either shows a message box
   and ends the process with VANTOR_FATAL_EXIT_CODE, or, in exception mode, throws a
   pellgameapi::pellerrsexception that the host catches by type.

   The same header serves every build of the DLL, for 32-bit games (the package's win32
   folder) and for 64-bit games (win64): vantor.dll for hosts built with Microsoft's C++
   compiler (or another compiler of that C++ ABI), and the build in the mingw-hosts
   folder for hosts built with the MinGW-w64 GCC. A host links the DLL's import library;
   the classes are imported from it. C hosts can use modproc, and so can hosts that
   find it with GetProcAddress (see vantor_modproc_fn). The header compiles as C89 and
   later, and as C++98 and later. */
#ifndef VANTOR_H
#define VANTOR_H

/* The library defines VANTOR_API itself while it is built. */
#ifndef VANTOR_API
#if defined(_WIN32)
#define VANTOR_API __declspec(dllimport)
#else
#define VANTOR_API
#endif
#endif

#if defined(_WIN32)
#define VANTOR_CDECL __cdecl
#else
#define VANTOR_CDECL
#endif

/* modproc's commands, in cmd:
     cmd                        arg                          arg2
     VANTOR_SET_CAPTION         caption, NUL-terminated      owner window of the message box
     VANTOR_SET_EXCEPTION_MODE  -                            VANTOR_MESSAGE_BOX_MODE or VANTOR_EXCEPTION_MODE
     VANTOR_LOAD_FILE           file name, NUL-terminated    -
     VANTOR_LOAD_MEMORY         start of a whole XM file     its length in bytes
     VANTOR_PLAY                the host's IDirectSound*     play options
     VANTOR_STOP                -                            -
     VANTOR_SET_VOLUME          pointer to a float 0..1      -
   Any other cmd (negative ones too) does nothing and reports nothing.
   arg2 has 32 bits in 64-bit hosts too: pass the window as (unsigned int)(UINT_PTR)hwnd
   (a window handle has 32 significant bits, and is widened back by sign extension);
   a memory block of 4 GiB or more cannot be described. */
enum {
  VANTOR_SET_CAPTION = 0,
  VANTOR_SET_EXCEPTION_MODE = 1,
  VANTOR_LOAD_FILE = 2,
  VANTOR_LOAD_MEMORY = 3,
  VANTOR_PLAY = 4,
  VANTOR_STOP = 5,
  VANTOR_SET_VOLUME = 6
};

/* arg2 of VANTOR_SET_EXCEPTION_MODE; any nonzero value is exception mode. */
enum { VANTOR_MESSAGE_BOX_MODE = 0, VANTOR_EXCEPTION_MODE = 1 };

/* Play options, bits of arg2 of VANTOR_PLAY; other bits are ignored. Global focus keeps
   the song sounding while another application has the focus; with volume control the
   song starts silent and sounds once VANTOR_SET_VOLUME gives it a volume. */
enum { VANTOR_GLOBAL_FOCUS = 1, VANTOR_VOLUME_CONTROL = 2 };

/* The process's exit code after the message box of a fatal error. */
enum { VANTOR_FATAL_EXIT_CODE = 69 };

/* reporterror never returns; older compilers and C++98 spell that their own way. */
#if defined(__cplusplus) && (__cplusplus >= 201103L || (defined(_MSVC_LANG) && _MSVC_LANG >= 201103L))
#define VANTOR_NORETURN [[noreturn]]
#elif defined(_MSC_VER)
#define VANTOR_NORETURN __declspec(noreturn)
#elif defined(__GNUC__)
#define VANTOR_NORETURN __attribute__((noreturn))
#else
#define VANTOR_NORETURN
#endif

/* The one command entry, with the C calling convention. Commands come one at a time.
   In exception mode a fatal error leaves it as a C++ exception.

   C code sees it with C linkage, under the plain name modproc. C++ code sees it with
   C++ linkage, even where the header is included inside extern "C": compilers of
   Microsoft's C++ ABI assume by default (/EHsc) that a function with C linkage never
   throws, and may drop the catch around the call. The DLL exports the entry under
   both names, the plain one and the C++ one (Microsoft ABI: ?modproc@@YAXHPAXI@Z for
   32-bit, ?modproc@@YAXHPEAXI@Z for 64-bit; GCC: _Z7modprociPvj). */
#ifdef __cplusplus
extern "C++" {
#endif

VANTOR_API void VANTOR_CDECL modproc(int cmd, void* arg, unsigned int arg2);

/* The entry's type, for hosts that load the DLL at run time:
     vantor_modproc_fn entry = (vantor_modproc_fn)GetProcAddress(module, "modproc");
   A call through the pointer may throw in exception mode. */
typedef void(VANTOR_CDECL* vantor_modproc_fn)(int cmd, void* arg, unsigned int arg2);

#ifdef __cplusplus

namespace pellgameapi {

/* The object a fatal error throws in exception mode, by value. text holds the message
   without the message box's prefix; reserved is the host's, 0 in every new exception.
   The layout is fixed: text at offset 0, reserved at 4096, 4100 bytes in all. */
class VANTOR_API pellerrsexception {
 public:
  char text[4096];        /* NUL-terminated, at most 4095 characters */
  unsigned int reserved;

  pellerrsexception(pellerrsexception& other); /* copies text; reserved is 0 */
  pellerrsexception& operator=(const pellerrsexception& other); /* copies text and reserved */
  ~pellerrsexception();

 protected:
  pellerrsexception(); /* text all zero, reserved 0 */
  friend class pellerrs;
};

class VANTOR_API pellerrs {
 public:
  /* Formats the message printf-style and reports it as the host chose with
     VANTOR_SET_EXCEPTION_MODE: the message box and the end of the process, or the
     exception. Never returns. A host may call it for errors of its own. */
  VANTOR_NORETURN static void reporterror(const char* format, ...);
  pellerrs& operator=(const pellerrs& other);
};

} /* namespace pellgameapi */

} /* extern "C++" */
#endif /* __cplusplus */

#endif /* VANTOR_H */

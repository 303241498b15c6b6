/* A C++ host's use of the public header, compiled in each C++ dialect by
   header_dialects.sh, once as it is and once included inside extern "C" (with
   INCLUDE_IN_EXTERN_C), as some hosts include C headers. */
#ifdef INCLUDE_IN_EXTERN_C
extern "C" {
#endif
#include <vantor.h>
#ifdef INCLUDE_IN_EXTERN_C
}
#endif

struct LevelError : pellgameapi::pellerrsexception {
  LevelError() {}
};

int playTitleSong(void* sound) {
  modproc(VANTOR_SET_EXCEPTION_MODE, 0, VANTOR_EXCEPTION_MODE);
  try {
    modproc(VANTOR_LOAD_FILE, (void*)"title.xm", 0);
    modproc(VANTOR_PLAY, sound, VANTOR_GLOBAL_FOCUS | VANTOR_VOLUME_CONTROL);
  } catch (pellgameapi::pellerrsexception& error) {
    return error.text[0] != 0 ? 1 : 2;
  }
  return 0;
}

vantor_modproc_fn loadedEntry = modproc;

/* Without a return statement: compiles without a warning only if the header tells
   the compiler that reporterror never returns. */
int missingLevel(int level) { pellgameapi::pellerrs::reporterror("level %d is missing", level); }

/* A C host's use of the public header, compiled in each C dialect by
   header_dialects.sh: modproc called by its plain name, and through the type that
   GetProcAddress users cast to. */
#include <vantor.h>

static vantor_modproc_fn entry = modproc;

int playTitleSong(void* sound) {
  float volume = 0.5f;
  modproc(VANTOR_SET_CAPTION, (void*)"title", 0);
  modproc(VANTOR_SET_EXCEPTION_MODE, 0, VANTOR_MESSAGE_BOX_MODE);
  modproc(VANTOR_LOAD_FILE, (void*)"title.xm", 0);
  entry(VANTOR_PLAY, sound, VANTOR_GLOBAL_FOCUS | VANTOR_VOLUME_CONTROL);
  entry(VANTOR_SET_VOLUME, &volume, 0);
  return VANTOR_FATAL_EXIT_CODE;
}

/* play_song_dynamic.c: vantor in a C game that loads the plug-in at run time, with
   LoadLibrary and GetProcAddress. It plays a song through the game's own DirectSound
   object, from the file and then from memory, in message-box mode: C code cannot catch
   the exception, so a fatal error (here: a song that does not load) shows the message
   box and ends the game with exit code 69 (VANTOR_FATAL_EXIT_CODE).

     play_song_dynamic SONG.xm

   Built as README.txt says in section 5. Ends with 0 when the song played, 2 when the
   program could not start, 69 after a fatal error. */
#include <windows.h>
#include <dsound.h>
#include <stdio.h>
#include <stdlib.h>

#include <vantor.h>

static vantor_modproc_fn modprocEntry;

/* The whole file in a block from malloc, or null. */
static char* readWholeFile(const char* name, unsigned int* size) {
  FILE* file = fopen(name, "rb");
  long length;
  char* bytes;
  if (file == NULL) return NULL;
  fseek(file, 0, SEEK_END);
  length = ftell(file);
  fseek(file, 0, SEEK_SET);
  bytes = length > 0 ? (char*)malloc(length) : NULL;
  if (bytes != NULL && fread(bytes, 1, length, file) != (size_t)length) {
    free(bytes);
    bytes = NULL;
  }
  fclose(file);
  *size = bytes != NULL ? (unsigned int)length : 0;
  return bytes;
}

static void setVolume(float volume) { modprocEntry(VANTOR_SET_VOLUME, &volume, 0); }

int main(int argc, char** argv) {
  HMODULE plugin;
  HWND window;
  IDirectSound* sound = NULL;
  unsigned int size = 0;
  char* bytes;

  if (argc < 2) {
    printf("usage: play_song_dynamic SONG.xm\n");
    return 2;
  }
  /* Either build of the plug-in serves a host that only calls modproc. */
  plugin = LoadLibraryA("vantor.dll");
  /* Through void (*)(void), the type that stands for any function, so that GCC's
     -Wcast-function-type is quiet about GetProcAddress's own type. */
  modprocEntry = plugin != NULL ? (vantor_modproc_fn)(void (*)(void))GetProcAddress(plugin, "modproc") : NULL;
  if (modprocEntry == NULL) {
    printf("vantor.dll cannot be loaded\n");
    return 2;
  }

  /* The game's window: here the console's, or the desktop when there is no console. */
  window = GetConsoleWindow();
  if (window == NULL) window = GetDesktopWindow();
  if (FAILED(DirectSoundCreate(NULL, &sound, NULL)) ||
      FAILED(IDirectSound_SetCooperativeLevel(sound, window, DSSCL_PRIORITY))) {
    printf("no DirectSound\n");
    return 2;
  }

  /* The message box's caption and owner window. Message-box mode is the default. */
  modprocEntry(VANTOR_SET_CAPTION, (void*)"play_song_dynamic", (unsigned int)(UINT_PTR)window);
  modprocEntry(VANTOR_SET_EXCEPTION_MODE, NULL, VANTOR_MESSAGE_BOX_MODE);

  modprocEntry(VANTOR_LOAD_FILE, argv[1], 0); /* a song that does not load ends the game here */
  printf("playing %s\n", argv[1]);
  modprocEntry(VANTOR_PLAY, sound, VANTOR_VOLUME_CONTROL); /* silent until the volume is set */
  setVolume(1.0f);
  Sleep(2000);
  printf("at half volume\n");
  setVolume(0.5f);
  Sleep(1000);
  modprocEntry(VANTOR_STOP, NULL, 0);

  /* The block may be freed as soon as the command returns. */
  bytes = readWholeFile(argv[1], &size);
  modprocEntry(VANTOR_LOAD_MEMORY, bytes, size);
  free(bytes);
  printf("playing it again, loaded from memory\n");
  modprocEntry(VANTOR_PLAY, sound, 0); /* full volume, no volume control */
  Sleep(1000);
  modprocEntry(VANTOR_STOP, NULL, 0); /* before the DLL is unloaded: unloading stops nothing */

  IDirectSound_Release(sound);
  FreeLibrary(plugin);
  return 0;
}

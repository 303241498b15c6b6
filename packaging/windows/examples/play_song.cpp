// play_song.cpp: vantor in a C++ game that links the plug-in's import library. It
// plays a song through the game's own DirectSound object, from the file and then from
// memory, in exception mode, and catches a fatal error by type.
//
//   play_song SONG.xm
//
// Built as README.txt says in section 5. Ends with 0 when the song played, 1 when the
// plug-in reported a fatal error (here: a song that does not load), 2 when the program
// could not start.
#include <windows.h>
#include <dsound.h>
#include <stdio.h>
#include <stdlib.h>

#include <vantor.h>

// The whole file in a block from malloc, or null.
static char* readWholeFile(const char* name, unsigned int* size) {
  FILE* file = fopen(name, "rb");
  if (file == NULL) return NULL;
  fseek(file, 0, SEEK_END);
  long length = ftell(file);
  fseek(file, 0, SEEK_SET);
  char* bytes = length > 0 ? (char*)malloc(length) : NULL;
  if (bytes != NULL && fread(bytes, 1, length, file) != (size_t)length) {
    free(bytes);
    bytes = NULL;
  }
  fclose(file);
  *size = bytes != NULL ? (unsigned int)length : 0;
  return bytes;
}

static void setVolume(float volume) { modproc(VANTOR_SET_VOLUME, &volume, 0); }

int main(int argc, char** argv) {
  if (argc < 2) {
    printf("usage: play_song SONG.xm\n");
    return 2;
  }

  // The game's window: here the console's, or the desktop when there is no console.
  HWND window = GetConsoleWindow();
  if (window == NULL) window = GetDesktopWindow();
  IDirectSound* sound = NULL;
  if (FAILED(DirectSoundCreate(NULL, &sound, NULL)) ||
      FAILED(sound->SetCooperativeLevel(window, DSSCL_PRIORITY))) {
    printf("no DirectSound\n");
    return 2;
  }

  // The message box's caption and owner window (for message-box mode, and for errors
  // the game reports itself), then exception mode: a fatal error comes back to the
  // game as a pellgameapi::pellerrsexception.
  modproc(VANTOR_SET_CAPTION, (void*)"play_song", (unsigned int)(UINT_PTR)window);
  modproc(VANTOR_SET_EXCEPTION_MODE, NULL, VANTOR_EXCEPTION_MODE);

  int status = 0;
  try {
    modproc(VANTOR_LOAD_FILE, argv[1], 0);
    printf("playing %s\n", argv[1]);
    modproc(VANTOR_PLAY, sound, VANTOR_VOLUME_CONTROL);  // silent until the volume is set
    setVolume(1.0f);
    Sleep(2000);
    printf("at half volume\n");
    setVolume(0.5f);
    Sleep(1000);
    modproc(VANTOR_STOP, NULL, 0);

    // The block may be freed as soon as the command returns.
    unsigned int size = 0;
    char* bytes = readWholeFile(argv[1], &size);
    modproc(VANTOR_LOAD_MEMORY, bytes, size);
    free(bytes);
    printf("playing it again, loaded from memory\n");
    modproc(VANTOR_PLAY, sound, 0);  // full volume, no volume control
    Sleep(1000);
    modproc(VANTOR_STOP, NULL, 0);
  } catch (pellgameapi::pellerrsexception& error) {
    // The game goes on without music.
    printf("no music: %s\n", error.text);
    status = 1;
  }

  sound->Release();  // the plug-in has stopped using it: no song plays
  return status;
}

// The registry of sound effects: owns the DirectMusic performance and loader, and keeps each
// registered sound under an integer id with its own audio path, downloaded and ready to play.
// Window's thread only. COM must be initialised on that thread before Init.
#pragma once

#include <vector>

#include "platform/dmusic/dmusic.h"
#include "sound/OggWave.h"

// Means every sound to StopSound; LoadSound refuses it.
#define SOUND_ID_ALL 999

struct SoundEntry {
  int id;
  IDirectMusicSegment8* segment;
  IDirectMusicAudioPath8* audioPath;
  IDirectSoundBuffer8* buffer;
};

class CSoundRegistry {
 public:
  CSoundRegistry() = default;
  // ReleaseAll; when that succeeds, releases the loader, closes down the performance and releases
  // it once it has closed.
  ~CSoundRegistry();
  CSoundRegistry(const CSoundRegistry&) = delete;
  CSoundRegistry& operator=(const CSoundRegistry&) = delete;

  // Creates the performance (its audio output opened for the window) and the loader, points the
  // loader at the current folder, and loads the start-up table. 1, or the failing step: -1 no
  // performance, -2 no audio output, -4 no loader, -5 no current folder, -6 the loader refused it.
  // What was made before a failing step stays for the destructor; the registry then stays empty
  // and every other call is harmless.
  int Init(HWND window);
  // Loads the eighteen start-up sounds "sound\<name>" under ids 0 to 17; a file that fails leaves
  // its id out. Returns 1.
  int LoadSoundTable();
  // Registers the file under id, replacing (stopping, unloading and releasing) an earlier sound
  // with that id; the new entry goes to the end. A path ending in ".ogg" (exactly) is decoded here
  // and handed over as a wave image; other files go to the loader; a path ending in "mid" is marked
  // as a standard MIDI file. SOUND_ID_ALL shows the reserved-id message box and returns false.
  // Paths longer than 255 characters or with an extension longer than 15 are refused untouched.
  bool LoadSound(const WCHAR* path, int id);
  // Stops the sound under id now; SOUND_ID_ALL stops everything. Nothing before Init.
  void StopSound(int id);
  // Stops everything, unloads and releases every entry, frees the decoded images. 1, or the last
  // engine call's result when that failed.
  int ReleaseAll();
  // The decoder LoadSound uses for Ogg Vorbis files: the image (kept until ReleaseAll) and its size,
  // or null.
  BYTE* DecodeOggToWave(const char* path, DWORD* size);

  const std::vector<SoundEntry>& Entries() const { return m_entries; }
  IDirectMusicPerformance8* Performance() const { return m_performance; }

 private:
  IDirectMusicPerformance8* m_performance = nullptr;
  IDirectMusicLoader8* m_loader = nullptr;
  std::vector<SoundEntry> m_entries;
  std::vector<WaveImage> m_decodedImages;
};

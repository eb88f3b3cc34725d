// DirectMusic stand-in on SDL2_mixer: the contract of the layer.
//
// Only what the sound registry calls, plus PlaySegmentEx and IDirectSoundBuffer8::GetStatus so that
// a sound can be heard and observed. Names, arguments and counted references are DirectMusic's.
//
// Model: a performance opens the process's one SDL_mixer output (44100 Hz, 16-bit, stereo). Each
// audio path is a mixer channel of its own, with one sound buffer standing for that channel. A
// segment holds the bytes of a wave file (RIFF/WAVE, checked by decoding it when loaded) or of a
// standard MIDI file; Download makes it ready on one audio path (a mixer chunk for waves, a MIDI
// stream for MIDI), Unload drops that again. MIDI plays through SDL_mixer's one music stream
// (FluidSynth with the system's General MIDI soundfont), so one MIDI segment sounds at a time.
// Stopping acts at once; scheduled stop times are not supported (any time means now).
//
// The loader caches the segments it loads from files by full path: loading the same file again
// gives the same segment with one more reference, until ReleaseObjectByUnknown or ClearCache drop
// the cache's reference. Segments made from memory are not cached; their bytes are copied, so the
// caller's memory may go away after GetObject returns.
//
// Threads: every call runs on one thread (the window's thread). SDL_mixer mixes on its own audio
// thread; no object of this layer is touched there.
//
// Failures are HRESULTs, never exceptions: E_POINTER for a null out pointer, E_INVALIDARG for an
// argument this layer does not know, DMUS_E_NOT_INIT before InitAudio (or after CloseDown),
// DSERR_NODRIVER when no audio output can be opened, DMUS_E_LOADER_* for files and memory images
// the loader cannot read or does not recognise.
#pragma once

#include "platform/kit/wintypes.h"

using MUSIC_TIME = LONG;
using LPBYTE = BYTE*;

#define MAKE_DMHRESULTERROR(code) MAKE_HRESULT(1, 0x878, code)
constexpr HRESULT DMUS_E_NOT_FOUND = MAKE_DMHRESULTERROR(0x0112);
constexpr HRESULT DMUS_E_NOT_INIT = MAKE_DMHRESULTERROR(0x0133);
constexpr HRESULT DMUS_E_ALREADY_INITED = MAKE_DMHRESULTERROR(0x0132);
constexpr HRESULT DMUS_E_TRACK_NOT_FOUND = MAKE_DMHRESULTERROR(0x0111);
constexpr HRESULT DMUS_E_NOT_DOWNLOADED_TO_PORT = MAKE_DMHRESULTERROR(0x0131);
constexpr HRESULT DMUS_E_UNSUPPORTED_STREAM = MAKE_DMHRESULTERROR(0x0115);
constexpr HRESULT DMUS_E_LOADER_BADPATH = MAKE_DMHRESULTERROR(0x0161);
constexpr HRESULT DMUS_E_LOADER_FAILEDOPEN = MAKE_DMHRESULTERROR(0x0162);
constexpr HRESULT DMUS_E_LOADER_FORMATNOTSUPPORTED = MAKE_DMHRESULTERROR(0x0163);
constexpr HRESULT DMUS_E_LOADER_NOCLASSID = MAKE_DMHRESULTERROR(0x0160);
constexpr HRESULT DSERR_NODRIVER = MAKE_HRESULT(1, 0x878, 120);

// ---- Class ids, interface ids and parameter types -------------------------------------------
inline constexpr CLSID CLSID_DirectMusicPerformance = {
    0xd2ac2881, 0xb39b, 0x11d1, {0x87, 0x04, 0x00, 0x60, 0x08, 0x93, 0xb1, 0xbd}};
inline constexpr CLSID CLSID_DirectMusicSegment = {
    0xd2ac2882, 0xb39b, 0x11d1, {0x87, 0x04, 0x00, 0x60, 0x08, 0x93, 0xb1, 0xbd}};
inline constexpr CLSID CLSID_DirectMusicLoader = {
    0xd2ac2892, 0xb39b, 0x11d1, {0x87, 0x04, 0x00, 0x60, 0x08, 0x93, 0xb1, 0xbd}};
inline constexpr GUID GUID_DirectMusicAllTypes = {
    0xd2ac2893, 0xb39b, 0x11d1, {0x87, 0x04, 0x00, 0x60, 0x08, 0x93, 0xb1, 0xbd}};
inline constexpr GUID GUID_StandardMIDIFile = {
    0x06621075, 0xe92e, 0x11d1, {0xa8, 0xc5, 0x00, 0xc0, 0x4f, 0xa3, 0x72, 0x6e}};
inline constexpr IID IID_IDirectMusicPerformance8 = {
    0x679c4137, 0xc62e, 0x4147, {0xb2, 0xb4, 0x9d, 0x56, 0x9a, 0xcb, 0x25, 0x4c}};
inline constexpr IID IID_IDirectMusicLoader8 = {
    0x19e7c08c, 0x0a44, 0x4e6a, {0xa1, 0x16, 0x59, 0x5a, 0x7c, 0xd5, 0xde, 0x8c}};
inline constexpr IID IID_IDirectMusicSegment8 = {
    0xc6784488, 0x41a3, 0x418f, {0xaa, 0x15, 0xb3, 0x50, 0x93, 0xba, 0x42, 0xd4}};
inline constexpr IID IID_IDirectMusicAudioPath8 = {
    0xc87631f5, 0x23be, 0x4986, {0x88, 0x36, 0x05, 0x83, 0x2f, 0xcc, 0x48, 0xf9}};
inline constexpr IID IID_IDirectSoundBuffer8 = {
    0x6825a449, 0x7524, 0x4d82, {0x92, 0x0f, 0x50, 0xe3, 0x6a, 0xb3, 0xab, 0x1e}};

// ---- Constants --------------------------------------------------------------------------------
#define DMUS_APATH_SHARED_STEREOPLUSREVERB 1u
#define DMUS_APATH_DYNAMIC_3D 6u
#define DMUS_APATH_DYNAMIC_MONO 7u
#define DMUS_APATH_DYNAMIC_STEREO 8u

#define DMUS_AUDIOF_3D 0x1u
#define DMUS_AUDIOF_ENVIRON 0x2u
#define DMUS_AUDIOF_EAX 0x4u
#define DMUS_AUDIOF_DMOS 0x8u
#define DMUS_AUDIOF_STREAMING 0x10u
#define DMUS_AUDIOF_BUFFERS 0x20u
#define DMUS_AUDIOF_ALL 0x3Fu

#define DMUS_PCHANNEL_ALL 0xFFFFFFFBu
#define DMUS_PATH_BUFFER 0x6000u
#define DMUS_SEG_ALLTRACKS 0x80000000u

#define DMUS_OBJ_OBJECT (1u << 0)
#define DMUS_OBJ_CLASS (1u << 1)
#define DMUS_OBJ_NAME (1u << 2)
#define DMUS_OBJ_CATEGORY (1u << 3)
#define DMUS_OBJ_FILENAME (1u << 4)
#define DMUS_OBJ_FULLPATH (1u << 5)
#define DMUS_OBJ_MEMORY (1u << 10)

#define DSBSTATUS_PLAYING 0x1u

#define DMUS_MAX_NAME 64
#define DMUS_MAX_CATEGORY 64
#define DMUS_MAX_FILENAME MAX_PATH

struct DMUS_VERSION {
  DWORD dwVersionMS;
  DWORD dwVersionLS;
};

struct DMUS_FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};

struct IStream;

// Describes an object for IDirectMusicLoader8::GetObject. dwSize must be sizeof(DMUS_OBJECTDESC)
// (856 bytes with 64-bit pointers). Only DMUS_OBJ_CLASS with DMUS_OBJ_MEMORY is read.
struct DMUS_OBJECTDESC {
  DWORD dwSize;
  DWORD dwValidData;
  GUID guidObject;
  GUID guidClass;
  DMUS_FILETIME ftDate;
  DMUS_VERSION vVersion;
  WCHAR wszName[DMUS_MAX_NAME];
  WCHAR wszCategory[DMUS_MAX_CATEGORY];
  WCHAR wszFileName[DMUS_MAX_FILENAME];
  LONGLONG llMemLength;
  LPBYTE pbMemData;
  IStream* pStream;
};
using LPDMUS_OBJECTDESC = DMUS_OBJECTDESC*;

struct DMUS_AUDIOPARAMS;
struct IDirectMusic;
struct IDirectSound;
struct IDirectMusicSegmentState;

// ---- Interfaces -------------------------------------------------------------------------------

// The buffer at the end of an audio path: the path's mixer channel.
struct IDirectSoundBuffer8 : IUnknown {
  // DSBSTATUS_PLAYING while the channel sounds, else 0.
  virtual HRESULT GetStatus(DWORD* status) = 0;
};

struct IDirectMusicAudioPath : IUnknown {
  // Stage DMUS_PATH_BUFFER, buffer 0, any performance channel, object class GUID_NULL (all zero), index 0,
  // IID_IDirectSoundBuffer8 (or IID_IUnknown): the path's sound buffer, the same object on every
  // call, with a reference for the caller. Any other stage, buffer or index: DMUS_E_NOT_FOUND.
  virtual HRESULT GetObjectInPath(DWORD pchannel, DWORD stage, DWORD buffer, REFGUID guidObject, WORD index, REFIID iid,
                                  void** object) = 0;
};
using IDirectMusicAudioPath8 = IDirectMusicAudioPath;

struct IDirectMusicSegment : IUnknown {
  // GUID_StandardMIDIFile (no data) marks a MIDI segment as a standard MIDI file; a segment without
  // a MIDI sequence has no track for it: DMUS_E_TRACK_NOT_FOUND. Other types: DMUS_E_TRACK_NOT_FOUND.
  virtual HRESULT SetParam(REFGUID type, DWORD groupBits, DWORD index, MUSIC_TIME time, void* param) = 0;
};

struct IDirectMusicSegment8 : IDirectMusicSegment {
  // Makes the segment ready to play on an audio path of an initialised performance (decodes the
  // wave into the output format, or opens the MIDI stream). Downloading again to the same path is
  // S_OK. E_INVALIDARG when target is not an audio path of this layer; DMUS_E_NOT_INIT when its
  // performance is closed; E_FAIL when the mixer refuses the data.
  virtual HRESULT Download(IUnknown* audioPath) = 0;
  // Drops what was downloaded to the audio path, or, for a performance, to every path of that
  // performance, halting it first where it plays. S_OK also when nothing was downloaded there;
  // E_INVALIDARG for any other target.
  virtual HRESULT Unload(IUnknown* audioPathOrPerformance) = 0;
};

struct IDirectMusicPerformance : IUnknown {};

struct IDirectMusicPerformance8 : IDirectMusicPerformance {
  // Opens the audio output. directMusic and directSound must be null (this layer has no such
  // objects to hand out: E_INVALIDARG otherwise). window, flags and params are accepted and unused.
  // A nonzero defaultPathType makes a default audio path that PlaySegmentEx uses when given none.
  // DMUS_E_ALREADY_INITED on a second call; DSERR_NODRIVER when SDL cannot open an output.
  virtual HRESULT InitAudio(IDirectMusic** directMusic, IDirectSound** directSound, HWND window, DWORD defaultPathType,
                            DWORD pchannelCount, DWORD flags, DMUS_AUDIOPARAMS* params) = 0;
  // A new path with a mixer channel of its own. Types DMUS_APATH_DYNAMIC_STEREO, _MONO, _3D and
  // SHARED_STEREOPLUSREVERB all give a plain stereo channel; others E_INVALIDARG, as is a channel
  // count of 0. A path made with activate FALSE plays nothing.
  virtual HRESULT CreateStandardAudioPath(DWORD type, DWORD pchannelCount, BOOL activate,
                                          IDirectMusicAudioPath** path) = 0;
  // Plays a segment from its start on the audio path (or the default path), now. The segment must
  // have been downloaded to that path: DMUS_E_NOT_DOWNLOADED_TO_PORT otherwise. Transitions, names,
  // segment states and flags are not supported (segmentState, when given, receives null).
  virtual HRESULT PlaySegmentEx(IUnknown* source, WCHAR* segmentName, IUnknown* transition, DWORD flags,
                                LONGLONG startTime, IDirectMusicSegmentState** segmentState, IUnknown* from,
                                IUnknown* audioPath) = 0;
  // A null segment stops everything this performance plays; otherwise that segment wherever it
  // plays on this performance. Now, whatever the time.
  virtual HRESULT Stop(IDirectMusicSegment* segment, IDirectMusicSegmentState* segmentState, MUSIC_TIME time,
                       DWORD flags) = 0;
  // objectToStop: a segment (stops it), an audio path (stops its channel) or null (everything).
  virtual HRESULT StopEx(IUnknown* objectToStop, LONGLONG stopTime, DWORD flags) = 0;
  // Stops everything and refuses new paths, downloads and plays (DMUS_E_NOT_INIT). The output
  // closes once the performance and every path and download made from it are released. S_OK, also
  // when never initialised or already closed.
  virtual HRESULT CloseDown() = 0;
};

struct IDirectMusicLoader : IUnknown {
  // From a descriptor with DMUS_OBJ_CLASS (CLSID_DirectMusicSegment) and DMUS_OBJ_MEMORY: a new
  // segment from a copy of the bytes. Anything else: E_INVALIDARG, or DMUS_E_LOADER_NOCLASSID for
  // another class. DMUS_E_UNSUPPORTED_STREAM when the bytes are neither a wave nor a MIDI file.
  virtual HRESULT GetObject(LPDMUS_OBJECTDESC desc, REFIID iid, void** object) = 0;
  // Sets the folder (Windows form) that relative file names are looked up in, for
  // GUID_DirectMusicAllTypes or CLSID_DirectMusicSegment. DMUS_E_LOADER_BADPATH when it is not a
  // folder. clear TRUE also empties the cache.
  virtual HRESULT SetSearchDirectory(REFGUID classId, WCHAR* path, BOOL clear) = 0;
  // Drops the cache's references for the class (CLSID_DirectMusicSegment or
  // GUID_DirectMusicAllTypes).
  virtual HRESULT ClearCache(REFGUID classId) = 0;
};

struct IDirectMusicLoader8 : IDirectMusicLoader {
  // Drops the cache's reference to the object; S_FALSE when it is not cached.
  virtual HRESULT ReleaseObjectByUnknown(IUnknown* object) = 0;
  // Loads a segment (CLSID_DirectMusicSegment only, else DMUS_E_LOADER_NOCLASSID) from a file,
  // Windows-form path, relative to the search directory unless it starts with "\".
  // DMUS_E_LOADER_FAILEDOPEN when it cannot be read (or is larger than 256 MiB),
  // DMUS_E_UNSUPPORTED_STREAM when it is neither a wave nor a MIDI file.
  virtual HRESULT LoadObjectFromFile(REFGUID classId, REFIID iid, WCHAR* filePath, void** object) = 0;
};

// Creation through CoCreateInstance (platform/com): a new object with one reference, or
// E_NOINTERFACE for an interface it does not have.
HRESULT DirectMusicCreatePerformance(REFIID iid, void** object);
HRESULT DirectMusicCreateLoader(REFIID iid, void** object);

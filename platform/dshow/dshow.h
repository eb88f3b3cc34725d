// DirectShow stand-in on GStreamer 1.22: the contract of the layer.
//
// Only what the program calls. Names, arguments, GUIDs and result codes are DirectShow's.
// A filter graph is one GStreamer pipeline; the filters added to it are placeholders until a
// pin is rendered or connected, which builds the GStreamer elements behind them.
//
// Threads: the graph, its filters and pins are used on one thread (the window's thread), which
// also runs CBaseRenderer::CheckMediaType and SetMediaType (inside Connect/Render/RenderFile).
// CBaseRenderer::DoRenderSample runs on GStreamer's streaming thread when a sample is due by the
// pipeline clock, with the renderer's m_InterfaceLock and m_RendererLock held. Nothing in this
// layer takes those locks on the window's thread while the pipeline is streaming.
// Errors never cross this edge as exceptions: every failure is an HRESULT.
#pragma once

#include <memory>
#include <mutex>

#include "platform/kit/RefCounted.h"
#include "platform/kit/wintypes.h"

using REFTIME = double;
using OAFilterState = LONG;

// Result codes.
constexpr HRESULT E_ACCESSDENIED = static_cast<HRESULT>(0x80070005u);
constexpr HRESULT VFW_E_INVALIDMEDIATYPE = static_cast<HRESULT>(0x80040200u);
constexpr HRESULT VFW_E_ALREADY_CONNECTED = static_cast<HRESULT>(0x80040204u);
constexpr HRESULT VFW_E_NO_ACCEPTABLE_TYPES = static_cast<HRESULT>(0x80040207u);
constexpr HRESULT VFW_E_NOT_CONNECTED = static_cast<HRESULT>(0x80040209u);
constexpr HRESULT VFW_E_NOT_FOUND = static_cast<HRESULT>(0x80040216u);
constexpr HRESULT VFW_E_CANNOT_CONNECT = static_cast<HRESULT>(0x80040217u);
constexpr HRESULT VFW_E_CANNOT_RENDER = static_cast<HRESULT>(0x80040218u);
constexpr HRESULT VFW_E_WRONG_STATE = static_cast<HRESULT>(0x80040227u);
constexpr HRESULT VFW_E_TYPE_NOT_ACCEPTED = static_cast<HRESULT>(0x8004022Au);
constexpr HRESULT VFW_E_TIMEOUT = static_cast<HRESULT>(0x8004022Eu);
constexpr HRESULT VFW_E_INVALID_FILE_FORMAT = static_cast<HRESULT>(0x8004022Fu);
constexpr HRESULT VFW_E_UNKNOWN_FILE_TYPE = static_cast<HRESULT>(0x80040240u);
constexpr HRESULT VFW_E_UNSUPPORTED_STREAM = static_cast<HRESULT>(0x80040265u);
constexpr HRESULT VFW_S_PARTIAL_RENDER = static_cast<HRESULT>(0x00040242u);

// Class, interface, media-type and format identifiers.
inline constexpr CLSID CLSID_FilterGraph = {
    0xE436EBB3, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IPin = {0x56A86891, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IBaseFilter = {0x56A86895, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IMediaFilter = {0x56A86899, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IMediaSample = {0x56A8689A, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IFilterGraph = {0x56A8689F, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IGraphBuilder = {0x56A868A9, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IMediaControl = {0x56A868B1, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IMediaPosition = {
    0x56A868B2, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr IID IID_IBasicAudio = {0x56A868B3, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID MEDIATYPE_Video = {0x73646976, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
inline constexpr GUID MEDIATYPE_Audio = {0x73647561, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
inline constexpr GUID MEDIASUBTYPE_RGB24 = {
    0xE436EB7D, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID MEDIASUBTYPE_RGB32 = {
    0xE436EB7E, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID MEDIASUBTYPE_PCM = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
inline constexpr GUID FORMAT_VideoInfo = {0x05589F80, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};
inline constexpr GUID FORMAT_WaveFormatEx = {
    0x05589F81, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};

#define BI_RGB 0u

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;  // positive: rows bottom first; negative: rows top first
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};

struct VIDEOINFOHEADER {
  RECT rcSource;
  RECT rcTarget;
  DWORD dwBitRate;
  DWORD dwBitErrorRate;
  REFERENCE_TIME AvgTimePerFrame;
  BITMAPINFOHEADER bmiHeader;
};

struct AM_MEDIA_TYPE {
  GUID majortype;
  GUID subtype;
  BOOL bFixedSizeSamples;
  BOOL bTemporalCompression;
  ULONG lSampleSize;
  GUID formattype;
  IUnknown* pUnk;
  ULONG cbFormat;
  BYTE* pbFormat;
};

// A media type that owns its format block (copied on copy).
class CMediaType : public AM_MEDIA_TYPE {
 public:
  CMediaType();
  CMediaType(const CMediaType& other);
  CMediaType& operator=(const CMediaType& other);
  ~CMediaType();
  const GUID* Type() const { return &majortype; }
  const GUID* Subtype() const { return &subtype; }
  const GUID* FormatType() const { return &formattype; }
  BYTE* Format() const { return pbFormat; }
  ULONG FormatLength() const { return cbFormat; }
  // Replaces the format block with a copy of length bytes; false when out of memory.
  bool SetFormat(const BYTE* format, ULONG length);
};

// A 24-bit RGB video type as the graph offers it: rows bottom first, each row
// (3 x width + 3) & ~3 bytes.
CMediaType MakeRgb24VideoType(LONG width, LONG height);

enum PIN_DIRECTION { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 };
enum FILTER_STATE { State_Stopped = 0, State_Paused = 1, State_Running = 2 };

struct IPin : IUnknown {
  virtual HRESULT QueryDirection(PIN_DIRECTION* pPinDir) = 0;
  // The type the pin's connection settled on; VFW_E_NOT_CONNECTED before that.
  virtual HRESULT ConnectionMediaType(AM_MEDIA_TYPE* pmt) = 0;
};

struct IBaseFilter : IUnknown {
  // Finds a pin by its name: S_OK with an added reference, VFW_E_NOT_FOUND when the filter has
  // no pin of that name, E_POINTER for a null argument.
  virtual HRESULT FindPin(LPCWSTR Id, IPin** ppPin) = 0;
};

struct IMediaSample : IUnknown {
  // The sample's buffer; valid while the sample lives (for the length of DoRenderSample).
  virtual HRESULT GetPointer(BYTE** ppBuffer) = 0;
  virtual LONG GetSize() = 0;
  virtual LONG GetActualDataLength() = 0;
  // Stream time of the sample in 100 ns units; VFW_E_SAMPLE_TIME_NOT_SET style failure is E_FAIL.
  virtual HRESULT GetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) = 0;
};

struct IFilterGraph : IUnknown {
  // Adds a filter under a name; the graph keeps a reference until it is destroyed.
  virtual HRESULT AddFilter(IBaseFilter* pFilter, LPCWSTR pName) = 0;
};

struct IGraphBuilder : IFilterGraph {
  // Sends the output pin's video to the input pin (a renderer's "In"), decoded and converted by
  // the source's media worker; other streams of the source are not decoded. Prerolls the pipeline to
  // settle the type, then calls the renderer's SetMediaType. VFW_E_CANNOT_CONNECT when no video
  // reaches the renderer or the renderer accepts none of the offered types; the renderer's
  // own code when its SetMediaType fails; VFW_E_ALREADY_CONNECTED for a connected pin.
  virtual HRESULT Connect(IPin* ppinOut, IPin* ppinIn) = 0;
  // Renders every stream of an output pin: video into an unconnected renderer of this graph
  // (not decoded when there is none), audio into an audio renderer (convert,
  // resample, volume, sound output). VFW_E_CANNOT_RENDER when nothing could be rendered.
  virtual HRESULT Render(IPin* ppinOut) = 0;
  // Adds a source for the file and renders all its streams, as Render does. lpcwstrPlayList
  // must be null. VFW_E_NOT_FOUND when the file does not exist.
  virtual HRESULT RenderFile(LPCWSTR lpcwstrFile, LPCWSTR lpcwstrPlayList) = 0;
  // Adds a source filter for the file (a Windows-form path), chosen by the file's content:
  // an ASF file gets a demuxing source with one pin per stream ("Raw Video 0", "Raw Audio 1",
  // ...) and no "Output" pin; a bmp, jpg or gif picture gets a still-image source that
  // delivers one 24-bit frame (the first of a gif) and holds it; any other file a byte-stream
  // source whose one pin is "Output". The file is opened here and its descriptor handed to a
  // media worker of its own (orbelle-media-worker, beside the program file), which parses and
  // decodes it in a sandbox; the calling thread waits for its first picture (at most 10 s),
  // keeping the program's windows painted. VFW_E_NOT_FOUND when the file does not exist;
  // VFW_E_UNKNOWN_FILE_TYPE for a path that is not a regular file (a folder, a FIFO, a
  // device), so nothing ever blocks on it; VFW_E_UNSUPPORTED_STREAM for a known kind of file
  // that no allowed decoder takes (an svg, tracker music); VFW_E_INVALID_FILE_FORMAT for a png,
  // for a picture that is corrupt, cut short or beyond the worker's limits, and when the worker
  // crashes, hangs, answers garbage or cannot be started. A byte stream that cannot be decoded
  // is added, and fails when it is rendered or connected.
  virtual HRESULT AddSourceFilter(LPCWSTR lpcwstrFileName, LPCWSTR lpcwstrFilterName, IBaseFilter** ppFilter) = 0;
};

// Run plays; Stop halts with the position kept and the last frame left in the renderer;
// Pause is Stop with the pipeline kept ready. GetState reports the state last asked for.
// Each waits at most a few seconds for GStreamer; failure is E_FAIL.
struct IMediaControl : IUnknown {
  virtual HRESULT Run() = 0;
  virtual HRESULT Pause() = 0;
  virtual HRESULT Stop() = 0;
  virtual HRESULT GetState(LONG msTimeout, OAFilterState* pfs) = 0;
};

// Times in seconds from the first sample of the video stream (from the start of the file when
// there is no video). The current position never exceeds the stop time; after the end of the
// stream it equals the stop time, which then becomes the position reached. The duration is the
// stop time. put_CurrentPosition clamps to [0, stop time] and waits at most a few seconds for
// the seek to settle; in an MPEG program stream it decodes again from the start of the file
// and shows nothing before the target (cheap for the usual seek to 0, slower the further in).
struct IMediaPosition : IUnknown {
  virtual HRESULT get_Duration(REFTIME* plength) = 0;
  virtual HRESULT put_CurrentPosition(REFTIME llTime) = 0;
  virtual HRESULT get_CurrentPosition(REFTIME* pllTime) = 0;
  virtual HRESULT get_StopTime(REFTIME* pllTime) = 0;
};

struct IReferenceClock;

// SetSyncSource(nullptr) turns the graph's clock off: samples are rendered as soon as they
// are decoded, and none is dropped for being late (for measuring). Any other clock is
// E_NOTIMPL.
struct IMediaFilter : IUnknown {
  virtual HRESULT SetSyncSource(IReferenceClock* pClock) = 0;
};

// Volume in hundredths of a decibel: 0 full, -10000 silent, gain 10^(v/2000) between.
// E_INVALIDARG outside [-10000, 0]; E_NOTIMPL when the graph holds no audio renderer.
struct IBasicAudio : IUnknown {
  virtual HRESULT put_Volume(LONG lVolume) = 0;
  virtual HRESULT get_Volume(LONG* plVolume) = 0;
};

// Audio goes to the desktop's sound output (autoaudiosink); where there is none, or when
// SDL_AUDIODRIVER=dummy says so (as in the tests), to a discarding sink that keeps the clock.

// ---------------------------------------------------------------------------------------
// Renderer base classes.

class CCritSec {
 public:
  void Lock() { mutex_.lock(); }
  void Unlock() { mutex_.unlock(); }

 private:
  std::mutex mutex_;
};

class CAutoLock {
 public:
  explicit CAutoLock(CCritSec* lock) : lock_(lock) { lock_->Lock(); }
  ~CAutoLock() { lock_->Unlock(); }
  CAutoLock(const CAutoLock&) = delete;
  CAutoLock& operator=(const CAutoLock&) = delete;

 private:
  CCritSec* lock_;
};

class CBaseRenderer;
namespace dshow {
class FilterGraph;
}

// The renderer's input pin "In". Its references are the renderer's.
class CRendererInputPin : public IPin {
 public:
  CRendererInputPin(CBaseRenderer* pRenderer, HRESULT* phr, LPCWSTR Name);
  HRESULT QueryInterface(REFIID riid, void** ppv) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT QueryDirection(PIN_DIRECTION* pPinDir) override;
  HRESULT ConnectionMediaType(AM_MEDIA_TYPE* pmt) override;
  CBaseRenderer* Renderer() const { return renderer_; }

 private:
  CBaseRenderer* renderer_;
};

// A renderer filter with one input pin "In", on a GStreamer sink synchronised to the pipeline
// clock. Created with a reference count of 1 for its creator. The object deletes itself when
// the count reaches 0. On construction failure (GStreamer unavailable) *phr is set to a
// failure code and the object must be released.
class CBaseRenderer : public kit::RefCounted<IBaseFilter> {
 public:
  CBaseRenderer(REFCLSID RenderClass, LPCWSTR pName, LPUNKNOWN pUnk, HRESULT* phr);
  CBaseRenderer(const CBaseRenderer&) = delete;
  CBaseRenderer& operator=(const CBaseRenderer&) = delete;

  HRESULT QueryInterface(REFIID riid, void** ppv) override;
  HRESULT FindPin(LPCWSTR Id, IPin** ppPin) override;

  // Asked for each proposed type on the window's thread while connecting: S_OK accepts.
  virtual HRESULT CheckMediaType(const CMediaType* pmt) = 0;
  // Called once the connection's type is settled, on the window's thread; a failure refuses
  // the connection.
  virtual HRESULT SetMediaType(const CMediaType* pmt);
  // Called on the streaming thread for each sample when it is due.
  virtual HRESULT DoRenderSample(IMediaSample* pMediaSample) = 0;

  // Samples delivered to DoRenderSample so far. Any thread: a count read includes a sample only
  // once its DoRenderSample has returned, so what it wrote is visible to the reader.
  LONG RenderedSampleCount() const;

  struct Impl;

 protected:
  ~CBaseRenderer() override;

  CCritSec m_InterfaceLock;
  CCritSec m_RendererLock;
  CRendererInputPin* m_pInputPin = nullptr;

 private:
  friend class CRendererInputPin;
  friend class dshow::FilterGraph;
  std::unique_ptr<Impl> impl_;
  std::unique_ptr<CRendererInputPin> pin_;
};

// The video renderer: the base renderer with its quality management left to GStreamer's sink.
class CBaseVideoRenderer : public CBaseRenderer {
 public:
  CBaseVideoRenderer(REFCLSID RenderClass, LPCWSTR pName, LPUNKNOWN pUnk, HRESULT* phr);

 protected:
  ~CBaseVideoRenderer() override = default;
};

// Starts a media worker ahead of the first file (sandboxed, its decoders loaded, waiting without
// using the processor) and keeps one ready after each open, so that opening a file starts no
// process. Without this call every open starts its own worker. Window's thread.
void PrepareMediaWorker();

// Reads the file at lpcwstrFileName (a Windows-form path) ahead: a spare media worker opens and
// decodes it now (a video up to its first picture) and holds it, so that the next
// AddSourceFilter or RenderFile of the same file, unchanged since (same device, inode, size and
// modification time), finds it open. Opening any other file, or reading another one ahead, ends
// the held worker; at most one is held. Nothing is shown or reported here: a file that cannot
// be opened fails at its open exactly as it would have. keepSpareReady: another spare is started
// for an open of some other file (at start-up, where the next open is this file's, the processor
// is better spent on starting). Window's thread.
void ReadAheadMediaFile(LPCWSTR lpcwstrFileName, bool keepSpareReady = true);
// Ends the worker ReadAheadMediaFile holds, if any. Window's thread.
void DropMediaReadAhead();

// Creates the filter graph manager (IGraphBuilder, IMediaControl, IMediaPosition,
// IBasicAudio, IMediaFilter through QueryInterface). Reached through CoCreateInstance(CLSID_FilterGraph).
HRESULT CreateFilterGraph(REFIID riid, void** ppv);

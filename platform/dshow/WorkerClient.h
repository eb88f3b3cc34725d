// The viewer's side of one media worker (orbelle-media-worker, beside the program file): the
// process that parses, demuxes and decodes one opened file under a sandbox and hands back
// pictures and sound through shared memory (platform/worker/WorkerWire.h says how). The client
// starts the worker with a fixed environment, hard limits and only its two descriptors, hands
// it the file's descriptor, and waits for the stream facts while the program's windows stay
// alive. Once started, a reader thread takes the worker's messages, wraps each picture or piece
// of sound in place (no copy) as a buffer for the graph's app sources, and releases the slot to
// the worker when the graph is done with it. A worker that dies, stalls, or answers out of
// shape is killed; for the graph that is an error posted by the app source it fed. Internal to
// platform/dshow; Open, Start, Seek and the destructor on the window's thread.
#pragma once

#include <gst/gst.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/kit/wintypes.h"
#include "platform/worker/WorkerWire.h"

namespace dshow {

class WorkerClient {
 public:
  // Starts a worker for the file open for reading on fileFd (the client does not keep fileFd)
  // and waits, pumping the windows, for its stream facts. S_OK with *out set once the worker
  // has answered, whatever it found in the file (see Facts()); VFW_E_INVALID_FILE_FORMAT when
  // the worker cannot be started, dies, answers out of shape or not within the open bound, or
  // the program is closing.
  static HRESULT Open(int fileFd, std::unique_ptr<WorkerClient>* out);
  // From now on a spare worker is kept ready (sandboxed, its plugins loaded, waiting without
  // using the processor): one is started now, and again after each open, which takes it.
  static void PrepareSpare();
  // Tests only: no spare from now on; one that waits is ended.
  static void DropSpare();
  // Hands the file open for reading on fileFd to a spare worker now, without waiting: it opens
  // and decodes the file (a video up to its first picture) and holds it. The next Open of the
  // same file (same device, inode, size and modification time when Open looks) takes that
  // worker over; an Open of any other file, or another ReadAhead, ends it. Nothing is reported:
  // a file that cannot be read ahead fails or opens at its Open as it would have. A worker still
  // opening after the open bound is ended (its Open then fails, as it would have). thenSpare:
  // another spare is started for other files. The client does not keep fileFd.
  static void ReadAhead(int fileFd, bool thenSpare);
  // Ends a worker held by ReadAhead, if any.
  static void DropReadAhead();
  // Tests only: the process id of the worker ReadAhead holds, or -1.
  static int ReadAheadPid();
  ~WorkerClient();
  WorkerClient(const WorkerClient&) = delete;
  WorkerClient& operator=(const WorkerClient&) = delete;

  const worker::Opened& Facts() const;
  bool Prerolled() const { return (Facts().flags & worker::kPrerolled) != 0; }
  bool HasVideo() const { return (Facts().flags & worker::kHasVideo) != 0; }
  bool HasAudio() const { return (Facts().flags & worker::kHasAudio) != 0; }
  bool Started() const;

  // The caps of the app sources the graph makes for the worker's streams.
  GstCaps* VideoCaps(worker::Layout layout) const;
  GstCaps* AudioCaps() const;
  // Configures an app source for one of the worker's streams (format, seekability, duration).
  void SetUpSource(GstElement* appsrc) const;

  // Feeds the app sources (either may be null: that stream is not wanted) from now on, and asks
  // the worker to stream in the layout given. The sources must be in a started state (PAUSED),
  // since a source drops what it is given before. False when the worker is gone.
  bool Start(GstElement* videoSrc, GstElement* audioSrc, worker::Layout layout);
  // Drops everything the worker sent before; call before flushing the pipeline for a seek.
  void BeginSeek();
  // Asks the worker to go on from target (ns from the first picture); after the flush.
  void Seek(gint64 target);
  // Stops feeding the app sources (they are about to leave the pipeline).
  void Detach();
  // An error the worker reported after pictures of this generation were delivered ends the
  // sources' streams where the pictures before it end: the graph sees an end of stream and asks
  // here whether an error caused it. True once per error, with its text. Any thread.
  bool TakeError(std::string* text);

  // Tests only: another program in the worker's place (empty: the real one), extra arguments
  // for it (e.g. "--misbehave=crash") and the open bound (0: the real one).
  static void SetForTesting(std::string program, std::vector<std::string> extraArgs, unsigned openMilliseconds);
  // Tests only: the worker's process id, or -1 once it has ended.
  int WorkerPid() const;

  struct State;

 private:
  WorkerClient() = default;
  // Hands the file to a started worker and starts its reader. False when it could not be sent.
  static bool Hand(const std::shared_ptr<State>& state, int fileFd);
  // Waits, pumping the windows, for a handed worker's answer.
  static HRESULT Await(const std::shared_ptr<State>& state, unsigned openMilliseconds,
                       std::unique_ptr<WorkerClient>* out);
  std::shared_ptr<State> state_;
};

}  // namespace dshow

#pragma once
// Where long core work (decompression, conversion) reports how far it got. Called on the thread
// that runs the work; an implementation that reaches a window must hand the value over itself.
namespace pelmora {

class ProgressSink {
  public:
    virtual ~ProgressSink() = default;
    // 0..100, never decreasing within one run; repeated values are not reported.
    virtual void OnProgress(int percent) = 0;
};

}  // namespace pelmora

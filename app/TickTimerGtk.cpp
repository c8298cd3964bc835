#include "app/TickTimer.h"

#include "base/TickSourcePosix.h"

namespace app {

struct TTickTimer::TImpl {
    explicit TImpl(wxEvtHandler* owner)
        : owner(owner), events(owner), source([this] {
              wxTimerEvent event(events);
              this->owner->SafelyProcessEvent(event);
          }) {}

    wxEvtHandler* owner;
    wxTimer events;  // the source named in the events; started itself only where no timerfd can be had
    base::TTickSource source;
};

TTickTimer::TTickTimer(wxEvtHandler* owner) : impl_(std::make_unique<TImpl>(owner)) {}

TTickTimer::~TTickTimer() { Stop(); }

void TTickTimer::Start(int milliseconds) {
    Stop();
    if (!impl_->source.Start(milliseconds)) impl_->events.Start(milliseconds);
}

void TTickTimer::Stop() {
    impl_->source.Stop();
    impl_->events.Stop();
}

bool TTickTimer::IsRunning() const { return impl_->source.IsRunning() || impl_->events.IsRunning(); }

}  // namespace app

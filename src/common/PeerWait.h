#pragma once
// The one way the program waits for a peer (a settings reply from the server,
// the update server's answers): the event loop runs until the wait is over,
// so everything else (other replies, timers, painting) goes on meanwhile.
// Whatever calls a function that waits must expect any handler to run inside
// it, its own included; a read handler is still never entered again from a
// modal message it opened (ClientSocket::ModalMessageScope).
#include <functional>

namespace davu {

class PeerWait {
 public:
  // Lets the event loop run until `over` holds. `over` is asked after every
  // batch of events, so it may look at anything the handlers changed.
  static void until(const std::function<bool()>& over);
  // How many waits are running, nested in each other, right now.
  static int depth();
};

}  // namespace davu

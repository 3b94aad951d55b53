#include "sim/sin_cos.h"

namespace velunary {

SinCosMemo& ThreadSinCosMemo() {
  // Zero-initialised: every slot holds the never-used key, and the memo costs no bytes in
  // the library's image.
  thread_local SinCosMemo memo;
  return memo;
}

}  // namespace velunary

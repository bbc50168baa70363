// QMUX framing shared by the daemon (host side) and the emulator (modem side).
#pragma once

#include "qmux/ctl.h"
#include "qmux/frame.h"
#include "qmux/reassembler.h"
#include "qmux/response.h"
#include "qmux/stream.h"
#include "qmux/timed_reassembler.h"
#include "qmux/tlv.h"
#include "qmux/transaction.h"
#include "qmux/wire.h"

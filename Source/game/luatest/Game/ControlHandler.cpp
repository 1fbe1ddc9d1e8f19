#include "Game/ControlHandler.h"
#include "Game/LadderControlHandler.h"
#include "Game/PlayerControlHandler.h"

bool EControlHandler::sm_bControlsPaused = false;

namespace {

// An input mode that takes the controls and does nothing with them.
class EPlainControlHandler : public EControlHandler {
public:
  explicit EPlainControlHandler(CONTROL_HANDLER_TYPE eType) : m_eType(eType) {}
  CONTROL_HANDLER_TYPE Type() override { return m_eType; }

private:
  CONTROL_HANDLER_TYPE m_eType;
};

}  // namespace

EControlHandler* EControlHandlerFactory::Create(GameApp*, int iType) {
  if (iType < 0 || iType >= kCONTROL_NUMTYPES) return nullptr;
  if (iType == kCONTROL_PLAYER) return new EPlayerControlHandler();
  if (iType == kCONTROL_LADDER) return new ELadderControlHandler();
  return new EPlainControlHandler((CONTROL_HANDLER_TYPE)iType);
}

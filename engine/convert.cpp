#include "engine/pipeline.h"
#include "engine/session.h"
#include "engine/stream.h"

namespace rastello {

bool ConvertFile(Session& session) {
  session.state.FailureReason.clear();
  session.state.SourceBpp = 0;
  switch (StreamConvert(session)) {
    case StreamOutcome::Converted:
      return true;
    case StreamOutcome::Failed:
      return false;
    case StreamOutcome::NotStreamed:
      break;
  }
  return ConvertBitmap(session);
}

}  // namespace rastello

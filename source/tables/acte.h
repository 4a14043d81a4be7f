// Acts: the legacy Acte table staged in tmpActe, then spread over Acte and its link
// tables (private prices, tariff links, modalities, regions, departments).
#pragma once

namespace korvel {

class RunContext;

void TransfertTableActeTmp(RunContext& run);

}  // namespace korvel

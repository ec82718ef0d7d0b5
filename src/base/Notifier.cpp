#include "Notifier.h"

#include <cstdio>

namespace orbench {

void TStderrNotifier::ShowMessage(TMessageKind, const std::string& Text)
{
    std::fputs(Text.c_str(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

TStderrNotifier& TStderrNotifier::Instance()
{
    static TStderrNotifier Notifier;
    return Notifier;
}

}  // namespace orbench

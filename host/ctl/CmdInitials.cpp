// qorctl initials: the pinyin initials of each line of standard input (UTF-8), one line each.
#include "host/ctl/CtlCommands.h"
#include "platform/text/Pinyin.h"

#include <iostream>
#include <string>

int cmdInitials(int argc, char**)
{
    if (argc > 2) {
        ctlErr(QStringLiteral("用法：qorctl initials < 文本文件（每行输出该行的拼音首字母）"));
        return 2;
    }
    std::string line;
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        ctlOut(PinyinInitials(QString::fromStdString(line)));
    }
    return 0;
}

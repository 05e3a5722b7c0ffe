#include "browse/UBaseACxA.h"

using namespace Qt::StringLiterals;

TfrmBaseACxA::TfrmBaseACxA(QWidget* parent) : TfrmBaseACx(parent)
{
    setObjectName(u"frmBaseACxA"_s);
    dgrdHead->setTitleLines(2);
}

TfrmBaseACxA::~TfrmBaseACxA() = default;

void TfrmBaseACxA::FormShow(QObject* sender) { TfrmBaseACx::FormShow(sender); }

void TfrmBaseACxA::LoadData() { TfrmBaseACx::LoadData(); }

#pragma once

#include "foundation/uString.h"

#include <cstdint>

// The record behind one row of the item list, the download list and the
// BitTorrent list. Each list gives the fields its own meaning:
//   item list:      status = kept flag, flag = item kind, label = channel
//                   title, ds = list database, item = item link,
//                   extra = description;
//   download list:  status = last shown status, flag = 0, label = channel
//                   title, ds = list database, item = item link.
class CTransferRowData
{
public:
    CTransferRowData() = default;
    CTransferRowData(const uString& ds, const uString& label, const uString& item, const uString& extra,
                     uint16_t status, uint16_t flag)
        : status(status), flag(flag), label(label), ds(ds), item(item), extra(extra)
    {
    }
    virtual ~CTransferRowData() = default;

    uint16_t status = 0;
    uint16_t flag = 0;
    uString label;
    uString ds;
    uString item;
    uString extra;
};

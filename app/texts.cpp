#include "app/texts.h"

static const char* const kUtf8[kTxtCount] = {
    " このファイル： \n",                         // kTxtThisFileJp
    " には拡張子 \".VMD\" がありません. \n",      // kTxtNoExtJp
    " 強行しますか? \n",                          // kTxtForceJp
    " このファイル： \r\n",                       // kTxtThisFileBoxJp
    " には拡張子 \".VMD\" がありません. \r\n",    // kTxtNoExtBoxJp
    " 強行しますか? ",                            // kTxtForceBoxJp
    "このファイルの処理をスキップ(中断)します. \n",  // kTxtSkipJp
    "更新(変更)されたデータはありません. \n",      // kTxtNotModifiedJp
    "(日本語環境) ",                               // kTxtJapaneseEnv
};

SjisTexts<kTxtCount, 128> gDriverTexts = {kUtf8, {}, false};

#include "names/vocabulary.h"

#include "base/encoding.h"
#include "names/nametable.h"

// The built-in vocabulary, written here in UTF-8 so that it reads as the
// names it stands for, and converted to Shift-JIS once per name as it is
// registered. A name ending in '*' or holding '?' or '？' is a wildcard
// pattern; half-width and full-width forms are different names.

namespace {

// Table 1, group 1: body, torso, limb, eye and IK bones (65 names; the last
// repeats the seventh and resolves to it).
const char* const kBody[] = {
    "操作中心", "全ての親", "センター", "グルーブ", "左肩", "左腕", "左腕捩", "左ひじ",
    "左手捩", "左手首", "右肩", "右腕", "右腕捩", "右ひじ", "右手捩", "右手首", "左肩P",
    "右肩P", "左目", "右目", "両目", "視線IK", "頭", "首", "上半身", "上半身2", "上半身２",
    "上半身3", "下半身", "腰", "左足", "左ひざ", "左足首", "右足", "右ひざ", "右足首",
    "左肩C", "右肩C", "左足D", "左ひざD", "左足首D", "左足先EX", "右足D", "右ひざD",
    "右足首D", "右足先EX", "左つま先", "右つま先", "左腕ＩＫ", "右腕ＩＫ", "左足ＩＫ",
    "右足ＩＫ", "左つま先ＩＫ", "右つま先ＩＫ", "左足IK親", "右足IK親", "左足ＩＫ親",
    "右足ＩＫ親", "左親指０", "右親指０", "左足_+", "右足_+", "左腕_+", "右腕_+", "左腕捩",
};
// Table 1, group 2: finger joints (28 names).
const char* const kFingers[] = {
    "左親指１", "左親指２", "左人指１", "左人指２", "左人指３", "左中指１", "左中指２",
    "左中指３", "左薬指１", "左薬指２", "左薬指３", "左小指１", "左小指２", "左小指３",
    "右親指１", "右親指２", "右人指１", "右人指２", "右人指３", "右中指１", "右中指２",
    "右中指３", "右薬指１", "右薬指２", "右薬指３", "右小指１", "右小指２", "右小指３",
};
// Table 1, group 3, looked up first: tips, dummies, parents and auxiliary
// bones (122 names).
const char* const kAuxiliary[] = {
    "左目先", "右目先", "両目先", "視線先", "左ダミー", "右ダミー", "左手ダミー",
    "右手ダミー", "左足先ダミー", "右足先ダミー", "左踵ダミー", "右踵ダミー", "左胸1",
    "左胸2", "左胸１", "左胸２", "右胸1", "右胸2", "右胸１", "右胸２", "左腕捩1", "左腕捩2",
    "左腕捩3", "左腕捩１", "左腕捩２", "左腕捩３", "左手捩1", "左手捩2", "左手捩3",
    "左手捩１", "左手捩２", "左手捩３", "右腕捩1", "右腕捩2", "右腕捩3", "右腕捩１",
    "右腕捩２", "右腕捩３", "右手捩1", "右手捩2", "右手捩3", "右手捩１", "右手捩２",
    "右手捩３", "左腕捩軸", "右腕捩軸", "頭先", "左腕S先", "右腕S先", "左手先", "右手先",
    "左手首S先", "右手首S先", "左親指先", "右親指先", "左親指２先", "右親指２先",
    "左人指先", "右人指先", "左中指先", "右中指先", "左薬指先", "右薬指先", "左小指先",
    "右小指先", "左人差指先", "右人差指先", "視線IK親", "視線IK親2", "髪親", "髮親",
    "イヤホン親", "胸飾り親", "腰パーツ親", "口親", "頭親1", "上半身親1", "左袖親",
    "右袖親", "腕輪親", "腕輪補助", "ベル*", "センター先", "上半身2先", "下半身先",
    "左鎖骨先", "右鎖骨先", "左腕捩先", "右腕捩先", "左手捩先", "右手捩先", "頭リボン先",
    "襟先", "肩当て先", "後ろ房先", "左ピアス先", "右ピアス先", "左肩S先", "右肩S先",
    "左袖先", "右袖先", "左ひじ袖先", "右ひじ袖先", "左ひじS先", "右ひじS先", "左手W先",
    "右手W先", "左足首先", "右足首先", "左足補助先", "右足補助先", "左足DS先", "右足DS先",
    "左足ＩＫ先", "右足ＩＫ先", "左つま先ＩＫ先", "右つま先ＩＫ先", "前1", "前2", "前3",
    "default", "新規ボーン1",
};
// Table 1, group 3, then added without lookup: swaying accessories, twist
// segments and the like (259 names; "右Hair*" and "猫耳右*" stand twice).
const char* const kSwaying[] = {
    "スカート*", "ｽｶｰﾄ*", "左スカート*", "右スカート*", "左ｽｶｰﾄ*", "右ｽｶｰﾄ*", "左CFｽｶｰ*",
    "右CFｽｶｰ*", "左CRｽｶｰ*", "右CRｽｶｰ*", "前ｽｶｰﾄ", "前ｽｶｰﾄ*", "前上ＳＫ", "前下ＳＫ",
    "後上ＳＫ", "後下ＳＫ", "腰布_*", "左鉢巻*", "右鉢巻*", "前草摺*", "髪*", "おさげ*",
    "左おさげ*", "右おさげ*", "左髪", "左髪*", "右髪", "右髪*", "上髪*", "左上髪*",
    "右上髪*", "前髪", "前髪*", "後髪", "後髪*", "後ろ髪", "中前髪*", "中後髪*", "左髮*",
    "右髮*", "前髮*", "後髮*", "中後髮*", "左前*", "左横*", "左後*", "右前*", "右横*",
    "右後*", "左お下げ*", "右お下げ*", "左三つ編*", "右三つ編*", "ツインテ親",
    "左ツインテ*", "右ツインテ*", "サイド*", "poni", "poni*", "左ポニテリボ*",
    "右ポニテリボ*", "スカーフ*", "ﾏﾌﾗｰ", "フード*", "左フード*", "右フード*", "左パーカ*",
    "右パーカ*", "上着_*", "ジャケ*", "シャツ*", "左シャツ*", "右シャツ*", "左斜前上シャツ",
    "右斜前上シャツ", "左斜前下シャツ", "右斜前下シャツ", "左斜後上シャツ",
    "右斜後上シャツ", "左斜後下シャツ", "右斜後下シャツ", "背中長紐*", "カソック*", "左紐*",
    "右紐*", "胸飾り紐*", "背中紐輪", "左背中防具*", "右背中防具*", "帽子羽", "+帽子羽",
    "左腰羽*", "右腰羽*", "左腰紐*", "右腰紐*", "靴ひも*", "左靴紐*", "右靴紐*", "左ベル*",
    "右ベル*", "腰ベル*", "左腰ベル*", "右腰ベル*", "腕ベル*", "黒ﾍﾞﾙ*", "腰リボ*",
    "左腰リボ*", "右腰リボ*", "左腕リボ*", "右腕リボ*", "首リボ*", "服リボ*",
    "左ブーツリボ*", "右ブーツリボ*", "左脚リボ*", "右脚リボ*", "左足？リボ*",
    "右足？リボ*", "左眉*", "右眉*", "左目*", "右目*", "歯上*", "歯下*", "左乳", "左乳*",
    "右乳", "右乳*", "左ひじ先tgt", "右ひじ先tgt", "左ひじsub", "左ひじsub*", "右ひじsub",
    "右ひじsub*", "左ひざsub", "左ひざsub*", "右ひざsub", "右ひざsub*", "左もみあげ*",
    "右もみあげ*", "後ろ髪*", "アホ毛", "アホ毛*", "あほ毛*", "ハネ毛", "左羽毛", "左羽毛*",
    "右羽毛", "右羽毛*", "左触覚*", "右触覚*", "hair*", "fhair*", "左Hair*", "右Hair*",
    "左HA*", "左HB*", "左HC*", "左HZ*", "右HA*", "右HB*", "右HC*", "右HZ*", "右Hair*",
    "左Tai*", "右Tai*", "TIE*", "D1", "D2", "D3", "D4", "D5", "D6", "D7", "D8", "D9", "S_*",
    "S0*", "sk*", "左SK*", "右SK*", "前SK*", "後SK*", "eye_*", "mune_*", "hanege_*",
    "nekutai*", "kosikaza*", "Pgsk_*", "wc*", "揺れ幅*", "揺れ速*", "インジケータ*",
    "ネックレス*", "左耳掛*", "右耳掛*", "左耳毛", "左耳毛*", "右耳毛", "右耳毛*",
    "猫耳右*", "猫耳左*", "猫耳右*", "猫しっぽ*", "しっぽ*", "新上*", "新スカ*", "舌*",
    "ﾈｸﾀｲ*", "ネクタイ*", "頭_*", "腕_*", "袖_*", "裾_*", "ひじ_*", "手首_*", "足首_*",
    "下半身_*", "センター_*", "センター補助*", "尻尾*", "肩紐*", "胸紐*", "腰紐*", "腰布*",
    "腰飾*", "左上着*", "右上着*", "左燕尾", "左燕尾*", "右燕尾", "右燕尾*", "左服*",
    "右服*", "左胸*", "右胸*", "左ひじ補*", "右ひじ補*", "+左ひじ補*", "+右ひじ補*",
    "左腕親*", "右腕親*", "左腕補助*", "右腕補助*", "左？指３先", "右？指３先",
    "腰キャンセル*", "親指２_*", "人指３_*", "中指３_*", "薬指３_*", "小指３_*", "(右*",
    "(左*", "(前*", "(後*", "(ネクタ*", "(アホ*", "(ベル*",
};
// Table 2, group 1: facial expression morphs (61 names).
const char* const kExpressions[] = {
    "あ", "い", "う", "お", "えー", "▲", "∧", "ω", "ω□", "はんっ！", "にやり", "にこり",
    "まばたき", "ウィンク", "ウィンク２", "ウィンク右", "ｳｨﾝｸ２右", "ｷﾘｯ", "はあと", "はぅ",
    "なごみ", "びっくり", "じと目", "なぬ！", "真面目", "困る", "怒り", "上", "下", "瞳小",
    "ぺろっ", "え", "ワ", "ん", "□", "д", "涙", "汗", "口角上げ", "口角下げ", "口横広げ",
    "照れ", "笑い", "驚き", "にやり２", "にこり2", "にっこり", "しいたけ", "てへぺろ",
    "がーん", "ぴえん", "瞳消し", "瞳縦潰れ", "恐ろしい子！", "ｺｯﾁﾐﾝﾅ", "星目", "ジト目",
    "ハート目", "はちゅ目", "もぐもぐ", "メガネ",
};

// Table 2, group 2: one morph kept apart from the expressions.
static const char* const kApartMorphs[] = {"クリ勃起"};

constexpr int kTableBones = 1;
constexpr int kTableMorphs = 2;

template <int N>
void FindOrAddAll(int table, const char* const (&names)[N]) {
  char sjis[kNameSlot];
  for (const char* name : names) {
    utf8tosjis(sjis, sizeof sjis, name);
    FindOrAddName(table, sjis);
  }
}

template <int N>
void AddAll(int table, const char* const (&names)[N]) {
  char sjis[kNameSlot];
  for (const char* name : names) {
    utf8tosjis(sjis, sizeof sjis, name);
    AddName(table, sjis);
  }
}

}  // namespace

void RegisterBuiltinNames() {
  // Bones: groups 1 to 3 hold the vocabulary (entries 1-64, 65-92, 93-473);
  // group 4 is begun empty for the bones that only the motion brings.
  FindOrAddAll(kTableBones, kBody);
  BeginNameGroup(kTableBones);
  FindOrAddAll(kTableBones, kFingers);
  BeginNameGroup(kTableBones);
  FindOrAddAll(kTableBones, kAuxiliary);
  AddAll(kTableBones, kSwaying);
  BeginNameGroup(kTableBones);

  // Morphs: group 1 the expressions (entries 1-61), group 2 entry 62; group 3
  // is begun empty for the morphs that only the motion brings.
  FindOrAddAll(kTableMorphs, kExpressions);
  BeginNameGroup(kTableMorphs);
  FindOrAddAll(kTableMorphs, kApartMorphs);
  BeginNameGroup(kTableMorphs);
}

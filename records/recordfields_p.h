#pragma once

#include "records/playerrecord.h"

namespace tolvane {

// Every field of a player record in disk order, with its name. The codec reads and writes
// by walking this one list, and the named fields of tools walk it too, so none of them can
// disagree about which field comes where. Private to records/.
namespace recordfields::detail {

template <class Record, class Visit> void forEachField(Record& r, Visit&& v) {
    v("spare0", r.spare0);
    v("shortKick", r.shortKick);
    v("spare5", r.spare5);
    v("goalAccuracyGround", r.goalAccuracyGround);
    v("goalAccuracyMark", r.goalAccuracyMark);
    v("speed", r.speed);
    v("spare21", r.spare21);
    v("crumbs", r.crumbs);
    v("defenceGround", r.defenceGround);
    v("defenceAir", r.defenceAir);
    v("defenceOne", r.defenceOne);
    v("hitOuts", r.hitOuts);
    v("strength", r.strength);
    v("spare49", r.spare49);
    v("agility", r.agility);
    v("handball", r.handball);
    v("kickMax", r.kickMax);
    v("longKickFactor", r.longKickFactor);
    v("shortKickFactor", r.shortKickFactor);
    v("shortKickPercent", r.shortKickPercent);
    v("longKickPercent", r.longKickPercent);
    v("handballPercent", r.handballPercent);
    v("runPercent", r.runPercent);
    v("spare89", r.spare89);
    v("firstName", r.firstName);
    v("lastName", r.lastName);
    v("team", r.team);
    v("salary", r.salary);
    v("preferredPos", r.preferredPos);
    v("spare141", r.spare141);
    v("health", r.health);
    v("typeProfileA", r.typeProfileA);
    v("spare189", r.spare189);
    v("longKick", r.longKick);
    v("spare203", r.spare203);
    v("keyPos", r.keyPos);
    v("preset209", r.preset209);
    v("spare217", r.spare217);
    v("overall", r.overall);
    v("injuryTendency", r.injuryTendency);
    v("reputationTendency", r.reputationTendency);
    v("typeProfileB", r.typeProfileB);
    v("healthLimit", r.healthLimit);
    v("preset311", r.preset311);
    v("fullName", r.fullName);
    v("height", r.height);
    v("weight", r.weight);
    v("dateOfBirth", r.dateOfBirth);
    v("secondaryPos", r.secondaryPos);
    v("thirdPos", r.thirdPos);
    v("tackling", r.tackling);
    v("discipline", r.discipline);
    v("freeKickTendency", r.freeKickTendency);
    v("markContested", r.markContested);
    v("markUncontested", r.markUncontested);
    v("spare351", r.spare351);
    v("playerType", r.playerType);
    v("leadership", r.leadership);
    v("potential", r.potential);
    v("lineupType", r.lineupType);
    v("contract", r.contract);
    v("recentGames", r.recentGames);
    v("spare389", r.spare389);
    v("clearance", r.clearance);
    v("goalSense", r.goalSense);
    v("preset403", r.preset403);
    v("debut", r.debut);
    v("state", r.state);
    v("town", r.town);
    v("preset411", r.preset411);
    v("preset413", r.preset413);
    v("playerNumber", r.playerNumber);
    v("spare417", r.spare417);
    v("subListA", r.subListA);
    v("subListB", r.subListB);
    v("preset489", r.preset489);
    v("spare491", r.spare491);
    v("spare493", r.spare493);
    v("spare495", r.spare495);
    v("spare497", r.spare497);
    v("improveR", r.improveR);
    v("improveBf", r.improveBf);
    v("improveB", r.improveB);
    v("improveC", r.improveC);
    v("improveF", r.improveF);
    v("improveFf", r.improveFf);
    v("improveK", r.improveK);
    v("improveNk", r.improveNk);
    v("positionValuesA", r.positionValuesA);
    v("spare595", r.spare595);
    v("positionValuesB", r.positionValuesB);
    v("spare643", r.spare643);
    v("preset645", r.preset645);
    v("pendingSalary", r.pendingSalary);
    v("pendingContract", r.pendingContract);
    v("spareTextsA", r.spareTextsA);
    v("spareTextsB", r.spareTextsB);
    v("spare673", r.spare673);
    v("spare675", r.spare675);
    v("spare677", r.spare677);
    v("spareText679", r.spareText679);
}

} // namespace recordfields::detail

} // namespace tolvane

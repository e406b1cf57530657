#pragma once
// Texts of kalvero-cli.

namespace kalvero::cli::texts {

inline constexpr const char* kUsage =
    "Aufruf: kalvero-cli [--ini DATEI | /Ini=DATEI] BEFEHL [OPTIONEN]\n"
    "\n"
    "Befehle:\n"
    "  pairs     zeigt und ändert die Auftragsliste (Paare aus Quelle und Ziel)\n"
    "  set-log   legt die Protokolldatei der Sicherung fest\n"
    "  check     prüft, ob die Quell- und Zielverzeichnisse der aktiven Paare vorhanden sind\n"
    "  list      zeigt, was die nächste Sicherung wohin kopieren würde\n"
    "  backup    sichert alle aktiven Paare\n"
    "  restore   sichert zurück: kalvero-cli restore QUELLE ZIEL (ohne beide: Abschnitt \"Rueck\")\n"
    "  schedule  plant die Sicherung täglich oder wöchentlich (systemd-Timer)\n"
    "  verify    prüft die Sicherungen mit ihren Prüfsummenlisten (ohne die Quelle)\n"
    "  versions  zeigt die Stände einer Datei in den Datumsordnern und legt einen daneben\n"
    "  remind    nennt die Paare, deren letzte Sicherung zu alt ist\n"
    "  thin      dünnt die Datumsordner der Sicherung aus (Tage, Wochen, Monate)\n"
    "\n"
    "Optionen:\n"
    "  --ini DATEI   Einstellungsdatei (Vorgabe: ~/.config/kalvero/kalvero.INI)\n"
    "  --help        diese Hilfe; 'kalvero-cli BEFEHL --help' beschreibt einen Befehl\n"
    "  --version     Versionsnummer\n"
    "\n"
    "Die erste Sicherung:\n"
    "  kalvero-cli pairs add ~/Dokumente /media/$USER/USB/Dokumente\n"
    "  kalvero-cli backup\n"
    "\n"
    "Rückgabewert: 0 fehlerfrei, 1 mit Fehlern (auch: ein Quellverzeichnis fehlte),\n"
    "2 konnte nicht starten oder falsches Argument, 3 abgebrochen.\n";

inline constexpr const char* kHelpPairs =
    "Aufruf: kalvero-cli pairs [list]\n"
    "        kalvero-cli pairs add QUELLE ZIEL [--inactive] [--no-subdirs]\n"
    "                              [--exclude VERZ]... [--exclude-tree VERZ]...\n"
    "        kalvero-cli pairs remove N\n"
    "        kalvero-cli pairs set N --active|--inactive\n"
    "        kalvero-cli pairs dated off|on|complete\n"
    "\n"
    "Zeigt die Auftragsliste mit Nummer, Aktiv, Unterverzeichnissen, Quelle, Ziel und\n"
    "ausgeschlossenen Verzeichnissen, oder ändert sie. Das Fenster liest dieselbe Datei.\n"
    "\n"
    "  add             hängt ein Paar an; Pfade werden absolut gemacht. Das Ziel darf\n"
    "                  nicht im eigenen Quellverzeichnis liegen.\n"
    "  --inactive      das Paar wird angelegt, aber nicht gesichert\n"
    "  --no-subdirs    nur die Dateien direkt in der Quelle sichern\n"
    "  --exclude VERZ  die Dateien direkt in VERZ nicht sichern\n"
    "  --exclude-tree VERZ  VERZ mit allen Unterverzeichnissen nicht sichern\n"
    "  remove N        entfernt das Paar Nummer N\n"
    "  set N --active|--inactive  schaltet das Paar Nummer N ein oder aus\n"
    "  dated off|on|complete  für alle Paare: jede Sicherung in einen Ordner mit dem Datum\n"
    "                  (on: nur die geänderten Dateien; complete: jeder Datumsordner ist\n"
    "                  vollständig, unveränderte Dateien als feste Verknüpfung) oder nicht (off)\n"
    "\n"
    "Beispiele:\n"
    "  kalvero-cli pairs add ~/Bilder /media/$USER/USB/Bilder --exclude-tree ~/Bilder/Cache\n"
    "  kalvero-cli pairs set 2 --inactive\n"
    "  kalvero-cli pairs\n";

inline constexpr const char* kHelpSetLog =
    "Aufruf: kalvero-cli set-log DATEI\n"
    "\n"
    "Legt die Protokolldatei der Sicherung fest (\"Protokolldatei\" im Abschnitt \"Allg\").\n"
    "Es wird nichts angelegt: Das Verzeichnis muss bei der Sicherung vorhanden sein.\n"
    "\n"
    "Beispiel:\n"
    "  kalvero-cli set-log /media/$USER/USB/sichern.log\n";

inline constexpr const char* kHelpCheck =
    "Aufruf: kalvero-cli check\n"
    "\n"
    "Prüft, ob die Quell- und Zielverzeichnisse aller aktiven Paare vorhanden sind\n"
    "(wie \"Prüfen ...\" im Fenster). Rückgabewert 1, wenn eines fehlt; ein Zielverzeichnis,\n"
    "das die erste Sicherung anlegt, ist nur ein Hinweis.\n"
    "\n"
    "Beispiel:\n"
    "  kalvero-cli check\n";

inline constexpr const char* kHelpList =
    "Aufruf: kalvero-cli list [--null | -0]\n"
    "\n"
    "Zeigt, was die nächste Sicherung wohin kopieren würde: je Datei Quelle und Ziel,\n"
    "durch einen Tabulator getrennt. Es wird nichts geschrieben.\n"
    "\n"
    "  --null, -0   Namen durch Null-Bytes getrennt (für xargs -0)\n"
    "\n"
    "Beispiel:\n"
    "  kalvero-cli list | wc -l\n";

inline constexpr const char* kHelpBackup =
    "Aufruf: kalvero-cli backup [--quiet | -q] [--notify]\n"
    "\n"
    "Sichert alle aktiven Paare wie \"Sicherung starten\" im Fenster und zeigt am Ende\n"
    "die Zusammenfassung und die Protokolldatei. Strg+C bricht ab.\n"
    "\n"
    "  --quiet, -q  nur Fehler und die Zusammenfassung ausgeben\n"
    "  --notify     am Ende eine Desktop-Benachrichtigung zeigen\n"
    "\n"
    "Rückgabewert: 0 fehlerfrei, 1 mit Fehlern oder fehlendem Quellverzeichnis,\n"
    "2 konnte nicht starten, 3 abgebrochen.\n"
    "\n"
    "Beispiel:\n"
    "  kalvero-cli backup --quiet\n";

inline constexpr const char* kHelpRestore =
    "Aufruf: kalvero-cli restore QUELLE ZIEL [--log DATEI] [--no-subdirs] [--all-archives]\n"
    "                            [--save] [--quiet | -q] [--notify]\n"
    "        kalvero-cli restore [--quiet | -q] [--notify]\n"
    "\n"
    "Sichert die Sicherung in QUELLE nach ZIEL zurück wie \"Rücksicherung starten\" im\n"
    "Fenster: mit Unterverzeichnissen; die Archive (*.zip) dieses Programms werden entpackt,\n"
    "andere unverändert kopiert. Eine Datei in ZIEL, die sich von der Sicherung unterscheidet,\n"
    "bleibt daneben erhalten (\"brief (vor Rücksicherung 2026-12-09).txt\"); eine gleiche wird\n"
    "nicht neu geschrieben. Ohne QUELLE und ZIEL gelten die Einstellungen des Abschnitts\n"
    "\"Rueck\" der Einstellungsdatei. Strg+C bricht ab.\n"
    "\n"
    "  --log DATEI     Protokolldatei (Vorgabe: ~/.local/share/kalvero/ruecksichern.log)\n"
    "  --no-subdirs    nur die Dateien direkt in QUELLE\n"
    "  --all-archives  jedes *.zip entpacken (und zusätzlich unverändert kopieren)\n"
    "  --save          QUELLE, ZIEL und die Optionen im Abschnitt \"Rueck\" speichern\n"
    "  --quiet, -q     nur Fehler und die Zusammenfassung ausgeben\n"
    "  --notify        am Ende eine Desktop-Benachrichtigung zeigen\n"
    "\n"
    "Mit --ini DATEI gelten auch für QUELLE und ZIEL die Optionen des Abschnitts \"Rueck\"\n"
    "dieser Datei.\n"
    "\n"
    "Rückgabewert: 0 fehlerfrei, 1 mit Fehlern, 2 konnte nicht starten, 3 abgebrochen.\n"
    "\n"
    "Beispiele:\n"
    "  kalvero-cli restore /media/$USER/USB/Dokumente ~/Dokumente\n"
    "  kalvero-cli --ini ~/rueck.INI restore\n";

inline constexpr const char* kHelpSchedule =
    "Aufruf: kalvero-cli schedule daily SS:MM\n"
    "        kalvero-cli schedule weekly TAG SS:MM\n"
    "        kalvero-cli schedule plugged\n"
    "        kalvero-cli schedule plugged off\n"
    "        kalvero-cli schedule verify monthly|off|show\n"
    "        kalvero-cli schedule off\n"
    "        kalvero-cli schedule show\n"
    "\n"
    "Plant die Sicherung als systemd-Timer des Benutzers (kalvero-backup.timer und\n"
    "kalvero-backup.service in ~/.config/systemd/user/). Die geplante Sicherung läuft als\n"
    "'kalvero-cli --ini DATEI backup --notify' mit niedriger Priorität; eine verpasste\n"
    "Sicherung wird beim nächsten Start nachgeholt. TAG ist Mo, Di, Mi, Do, Fr, Sa oder So\n"
    "(auch Mon ... Sun).\n"
    "\n"
    "  plugged      sichert, sobald der Desktop das Laufwerk eines aktiven Ziels einhängt\n"
    "               (erkannt an der UUID; nur die Paare auf diesem Laufwerk, höchstens\n"
    "               einmal am Tag); neben daily und weekly\n"
    "  plugged off  entfernt nur das Sichern beim Anschließen\n"
    "  verify monthly  prüft die Sicherungen am 1. jedes Monats (kalvero-cli verify --notify;\n"
    "               eine beschädigte Sicherung meldet sich kritisch); 'verify off' entfernt es\n"
    "  off          schaltet den Timer und das Sichern beim Anschließen aus\n"
    "  show         zeigt den Plan und den nächsten und letzten Lauf\n"
    "\n"
    "Beispiele:\n"
    "  kalvero-cli schedule daily 20:15\n"
    "  kalvero-cli schedule weekly Fr 18:00\n";

inline constexpr const char* kHelpVerify =
    "Aufruf: kalvero-cli verify [ORDNER] [--source] [--quiet | -q] [--notify]\n"
    "\n"
    "Prüft die Sicherung jedes aktiven Paares (oder nur ORDNER) mit ihrer Prüfsummenliste\n"
    "Kalvero-Pruefsummen.sha256, ohne die Quelle: Dateien, deren Inhalt sich verändert hat\n"
    "(auch bei gleicher Größe und Zeit), fehlende Dateien, Dateien, die nicht in der Liste\n"
    "stehen, und in den Archiven (*.zip) dieses Programms die CRC-32 jedes Eintrags. Datierte\n"
    "Ordner (2026_12_09) mit eigener Liste werden einzeln geprüft. Eine Datei, die nach der\n"
    "Liste ersetzt wurde (abgebrochene Sicherung), heißt \"noch nicht geprüft\" und ist kein\n"
    "Schaden. Es wird nichts verändert. Strg+C bricht ab.\n"
    "\n"
    "  --source     liest auch jede Quelldatei, deren Größe und Zeit zu ihrer Kopie passen,\n"
    "               und nennt sie, wenn ihr Inhalt trotzdem abweicht (die nächste Sicherung\n"
    "               würde sie überspringen)\n"
    "  --quiet, -q  nur Befunde und die Zusammenfassung ausgeben\n"
    "  --notify     am Ende eine Desktop-Benachrichtigung zeigen (dringend bei Befunden)\n"
    "\n"
    "Von Hand, ohne Kalvero: im Sicherungsordner 'sha256sum -c --quiet Kalvero-Pruefsummen.sha256'.\n"
    "\n"
    "Rückgabewert: 0 alles in Ordnung, 1 etwas gefunden (auch: keine Liste), 2 konnte nicht\n"
    "starten (auch: eine Sicherung läuft in dieses Ziel), 3 abgebrochen.\n"
    "\n"
    "Beispiele:\n"
    "  kalvero-cli verify\n"
    "  kalvero-cli verify /media/$USER/USB/Dokumente --source\n";

inline constexpr const char* kHelpVersions =
    "Aufruf: kalvero-cli versions DATEI [--restore DATUM]\n"
    "\n"
    "Zeigt die Stände einer Datei (oder eines Ordners) aus der Quelle eines aktiven Paares in\n"
    "den Datumsordnern (2026_11_02) seines Ziels: eine Zeile je Stand mit Datum, Größe und\n"
    "Änderungszeit. Gleiche Kopien aufeinanderfolgender Tage (dieselbe Datei als feste\n"
    "Verknüpfung, oder gleiche Größe, Zeit und Prüfsumme) stehen in einer Zeile mit ihrem\n"
    "Zeitraum; \"unvollständig\" heißt, der Datumsordner ist kein vollständiger Stand.\n"
    "\n"
    "  --restore DATUM  legt den Stand dieses Tages neben die Datei, ohne sie zu ändern:\n"
    "                   \"notiz (Stand 2026-11-02).txt\" (gibt es den Namen schon, mit 2, 3, ...);\n"
    "                   DATUM als 2026_11_02 oder 02.11.2026, auch ein Tag im Zeitraum\n"
    "\n"
    "Rückgabewert: 0 fehlerfrei, 1 der Stand konnte nicht zurückgesichert werden, 2 kein Stand\n"
    "gefunden oder falsches Argument.\n"
    "\n"
    "Beispiele:\n"
    "  kalvero-cli versions ~/Dokumente/notiz.txt\n"
    "  kalvero-cli versions ~/Dokumente/notiz.txt --restore 02.11.2026\n";

// Usage errors: one line on stderr.
inline constexpr const char* kNoCommand = "kalvero-cli: kein Befehl angegeben (--help zeigt die Befehle)";
inline constexpr const char* kUnknownCommand = "kalvero-cli: unbekannter Befehl '%s' (--help zeigt die Befehle)";
inline constexpr const char* kUnknownOption = "kalvero-cli: unbekannte Option '%s' (--help zeigt die Optionen)";
inline constexpr const char* kMissingIniName = "kalvero-cli: --ini braucht einen Dateinamen";
inline constexpr const char* kExtraArguments = "kalvero-cli: %s: unerwartetes Argument '%s'";
inline constexpr const char* kWarning = "kalvero-cli: Warnung: %s";
// list: stdout could not be written (full disk, closed pipe).
inline constexpr const char* kListWriteFailed = "kalvero-cli: list: Die Ausgabe konnte nicht geschrieben werden.";

// First start: settings file, then the next step.
// The hints name the commands with the settings file as given ("kalvero-cli --ini FILE pairs add QUELLE ZIEL").
inline constexpr const char* kNoSettingsFile =
    "Es gibt noch keine Einstellungsdatei '%s'. Legen Sie mit '%s' ein Paar an oder starten Sie das Fenster "
    "'kalvero'.";
inline constexpr const char* kNoActivePair =
    "Die Einstellungsdatei '%s' enthält kein aktives Paar. Legen Sie mit '%s' ein Paar an oder schalten Sie eines "
    "mit '%s' ein.";

// backup: the active pairs' source directories that did not exist.
inline constexpr const char* kMissingSources =
    "kalvero-cli: Diese Quellverzeichnisse waren nicht vorhanden und wurden nicht gesichert: %s";
inline constexpr const char* kListNotCreated = "kalvero-cli: Liste der %s konnte nicht angelegt werden: %s";
inline constexpr const char* kNotificationNote = "kalvero-cli: %s";
// The progress line on a terminal.
inline constexpr const char* kProgressBackup = "Paar %d (Zeile %d): %d von %d Dateien, %s";
inline constexpr const char* kProgressSearching = "Suche Dateien ...";
inline constexpr const char* kProgressRestore = "Rücksichern: %d von %d Dateien, %d Fehler";
inline constexpr const char* kProgressEntryPercent = "  (%d %%)";
// End of a run: the path of the run log beside the run log's own totals.
inline constexpr const char* kSummaryRunLog = "Protokolldatei = %s";

// restore
inline constexpr const char* kRestoreUsage = "kalvero-cli: restore: %s (kalvero-cli restore --help zeigt den Aufruf)";
inline constexpr const char* kRestoreNeedsTwoPaths = "'restore' braucht QUELLE und ZIEL";
inline constexpr const char* kRestoreNeedsLogName = "--log braucht einen Dateinamen";
inline constexpr const char* kRestoreNothingGiven =
    "kalvero-cli: restore: Es ist nichts zum Rücksichern angegeben. Sichern Sie mit '%s' zurück.";

// verify
inline constexpr const char* kVerifyNoFolder = "kalvero-cli: verify: '%s' ist kein Verzeichnis";
inline constexpr const char* kVerifyNoPairSource =
    "kalvero-cli: verify: --source braucht ein Paar mit dem Ziel '%s' in der Einstellungsdatei";

// versions
inline constexpr const char* kVersionsUsage =
    "kalvero-cli: versions: %s (kalvero-cli versions --help zeigt den Aufruf)";
inline constexpr const char* kVersionsNeedsFile = "'versions' braucht genau eine DATEI";
inline constexpr const char* kVersionsNeedsDate = "--restore braucht ein DATUM (2026_11_02 oder 02.11.2026)";
inline constexpr const char* kVersionsBadDate = "'%s' ist kein Datum wie 2026_11_02 oder 02.11.2026";
inline constexpr const char* kVersionsFailed = "kalvero-cli: versions: %s";
inline constexpr const char* kVersionsNoDate =
    "kalvero-cli: versions: Von '%s' gibt es keinen Stand vom %s (Stände: %s).";
inline constexpr const char* kVersionsHeader = "Stände von %s (Ziel %s):";
inline constexpr const char* kVersionsLine = "  %-25s %15s Byte  %s%s";  // date or range, size, time, incomplete
inline constexpr const char* kVersionsFolder = "  (Ordner)";
inline constexpr const char* kVersionsIncomplete = "  unvollständig";
inline constexpr const char* kVersionsRestored = "Stand %s wiederhergestellt: %s";

// pairs
inline constexpr const char* kPairsEmpty = "Die Auftragsliste ist leer. Legen Sie mit '%s' ein Paar an.";
inline constexpr const char* kPairsLine = "%d  Aktiv: %s  Unterverzeichnisse: %s";  // number, Ja/Nein, Ja/Nein
inline constexpr const char* kPairsSource = "   Quelle: %s";
inline constexpr const char* kPairsDestination = "   Ziel:   %s";
inline constexpr const char* kPairsExcludedTree = "   Ausgeschlossen (mit Unterverzeichnissen): %s";
inline constexpr const char* kPairsExcludedDir = "   Ausgeschlossen (nur dieses Verzeichnis): %s";
inline constexpr const char* kYes = "Ja";
inline constexpr const char* kNo = "Nein";
inline constexpr const char* kPairAdded = "Paar %d angelegt: '%s' -> '%s'.";
inline constexpr const char* kPairAddedNext = "Sichern Sie jetzt mit '%s'; das Protokoll steht in '%s'.";
inline constexpr const char* kPairRemoved = "Paar %d entfernt: '%s' -> '%s'.";
inline constexpr const char* kPairSet = "Paar %d ist jetzt %s.";
inline constexpr const char* kDatedNeedsMode = "'pairs dated' braucht off, on oder complete";
inline constexpr const char* kDatedOff = "Die Sicherungen gehen ohne Datumsordner direkt in die Ziele.";
inline constexpr const char* kDatedOn = "Jede Sicherung geht in einen Ordner mit dem Datum (nur die geänderten Dateien).";
inline constexpr const char* kDatedComplete =
    "Jede Sicherung geht in einen vollständigen Ordner mit dem Datum; unveränderte Dateien sind feste "
    "Verknüpfungen auf den vorigen Stand.";
inline constexpr const char* kActiveWord = "aktiv";
inline constexpr const char* kInactiveWord = "nicht aktiv";
inline constexpr const char* kPairsUsage = "kalvero-cli: pairs: %s (kalvero-cli pairs --help zeigt den Aufruf)";
inline constexpr const char* kPairsNeedsTwoPaths = "'pairs add' braucht QUELLE und ZIEL";
inline constexpr const char* kPairsNeedsDirectory = "'%s' braucht ein Verzeichnis";
inline constexpr const char* kPairsBadNumber = "'%s' ist keine Nummer eines Paares (1 bis %d)";
inline constexpr const char* kPairsNeedsFlag = "'pairs set N' braucht --active oder --inactive";
inline constexpr const char* kPairsDuplicate = "Das Paar '%s' -> '%s' steht schon unter Nummer %d in der Auftragsliste";
inline constexpr const char* kPairsRefused = "kalvero-cli: pairs: %s";

// set-log
inline constexpr const char* kSetLogUsage = "kalvero-cli: set-log braucht genau einen Dateinamen";
inline constexpr const char* kSetLogBad = "kalvero-cli: set-log: '%s' ist kein Dateiname ohne Zeilenumbruch";
inline constexpr const char* kSetLogDone = "Protokolldatei = %s";
inline constexpr const char* kSetLogDirMissing =
    "kalvero-cli: Hinweis: Das Verzeichnis '%s' ist noch nicht vorhanden; ohne es startet keine Sicherung.";

// schedule
inline constexpr const char* kScheduleUsage =
    "kalvero-cli: schedule: erwartet 'daily SS:MM', 'weekly TAG SS:MM', 'plugged', 'plugged off', "
    "'verify monthly|off|show', 'off' oder 'show'";
// remind
inline constexpr const char* kRemindSummary = "Sicherung fällig";
inline constexpr const char* kRemindOverdue = "Letzte Sicherung von '%s' vor %d Tagen: %s";  // pair, days, action
inline constexpr const char* kRemindNever = "Von '%s' gibt es noch keine vollständige Sicherung: %s";
inline constexpr const char* kHelpRemind =
    "Aufruf: kalvero-cli remind [--notify]\n"
    "\n"
    "Nennt jedes aktive Paar, dessen letzte vollständige Sicherung (laut Protokolldatei)\n"
    "älter ist als 'ErinnernNachTagen' im Abschnitt [Allg] (Vorgabe 7 Tage, 0 schaltet die\n"
    "Erinnerung aus), und was zu tun ist. Mit --notify auch als Desktop-Benachrichtigung.\n"
    "Der Zeitplan (kalvero-cli schedule) startet es nach der Anmeldung und einmal am Tag.\n";

// thin: the dated folders of the active pairs' destinations
inline constexpr const char* kHelpThin =
    "Aufruf: kalvero-cli thin [--keep-daily N] [--keep-weekly N] [--keep-monthly N] [--dry-run]\n"
    "\n"
    "Dünnt die Datumsordner (2026_12_09) im Ziel jedes aktiven Paares aus: behalten werden alle\n"
    "Stände der letzten N Tage (heute mitgezählt), davor der neueste Stand jeder der N Wochen\n"
    "(Montag bis Sonntag), davor der neueste Stand jedes der N Monate; die übrigen werden\n"
    "gelöscht. Nie gelöscht werden der neueste vollständige Stand, ein unvollständiger Ordner\n"
    "(abgebrochene Sicherung, oder nur die geänderten Dateien eines Tages) und alles, was kein\n"
    "Datumsordner ist. Ohne --keep-* gelten 'AusduennenTage', 'AusduennenWochen' und\n"
    "'AusduennenMonate' im Abschnitt [Allg]; eine fehlende Angabe zählt sonst als 0. Ein\n"
    "Ausdünnen, das abgebrochen wurde, beendet das nächste. Nicht, während ein anderer Lauf\n"
    "das Ziel benutzt.\n"
    "\n"
    "  --keep-daily N    alle Stände der letzten N Tage behalten\n"
    "  --keep-weekly N   den neuesten Stand jeder der N Wochen davor behalten\n"
    "  --keep-monthly N  den neuesten Stand jedes der N Monate davor behalten\n"
    "  --dry-run         nur zeigen, was behalten und was gelöscht würde\n";
inline constexpr const char* kThinBadNumber = "kalvero-cli: thin: %s erwartet eine Zahl von 0 bis 100000";
inline constexpr const char* kThinNoRule =
    "Es ist nichts zum Ausdünnen eingestellt (Tage, Wochen und Monate sind 0): geben Sie --keep-daily,\n"
    "--keep-weekly oder --keep-monthly an, oder stellen Sie es unter \"Sichern - Erweitert\" ein.";
inline constexpr const char* kThinNotDated =
    "Die Sicherung legt keine Datumsordner an (\"Aktuelles Datum an Zielverzeichnis anfügen\" ist aus); es "
    "gibt nichts auszudünnen.";
inline constexpr const char* kThinBusy =
    "Das Ziel '%s' wird gerade von einem anderen Lauf (Sicherung, Rücksicherung oder Prüfung) benutzt; es wird "
    "nicht ausgedünnt.";
inline constexpr const char* kThinUnlocked =
    "Das Ziel '%s' kann nicht gesperrt werden (kein privates Laufzeitverzeichnis); es wird nicht ausgedünnt.";
inline constexpr const char* kThinDestination = "Ziel %s:";
inline constexpr const char* kThinNoFolders = "  keine Datumsordner";
inline constexpr const char* kThinKeep = "  behalten   %s  (%s)";
inline constexpr const char* kThinWouldRemove = "  löschen    %s  (Probelauf: nicht gelöscht)";
inline constexpr const char* kThinRemoved = "  gelöscht   %s";
inline constexpr const char* kThinFinished = "  Beim letzten Ausdünnen nicht fertig gelöscht, jetzt entfernt: %d";
inline constexpr const char* kThinFailed = "kalvero-cli: '%s' konnte nicht (ganz) gelöscht werden: %s";
inline constexpr const char* kThinSummary = "Gelöscht: %d, behalten: %d.";
inline constexpr const char* kThinSummaryDry = "Würden gelöscht: %d, behalten: %d (Probelauf, nichts gelöscht).";
inline constexpr const char* kThinWhyDay = "Tag";
inline constexpr const char* kThinWhyWeek = "Woche";
inline constexpr const char* kThinWhyMonth = "Monat";
inline constexpr const char* kThinWhyNewest = "neuester vollständiger Stand";
inline constexpr const char* kThinWhyIncomplete = "unvollständig";
inline constexpr const char* kThinWhyFuture = "Datum nach heute";

// backup --plugged UUID, started when the drive is mounted
inline constexpr const char* kPluggedNoUuid = "kalvero-cli: --plugged erwartet die UUID des Laufwerks";
inline constexpr const char* kPluggedOtherDrive =
    "Kein aktives Ziel liegt auf dem Laufwerk mit der UUID %s; es wird nichts gesichert.";
inline constexpr const char* kPluggedDoneToday =
    "Das Laufwerk mit der UUID %s wurde heute schon beim Anschließen gesichert; es wird nichts gesichert.";
inline constexpr const char* kPluggedMayRemove = "Das Laufwerk '%s' kann jetzt entfernt werden.";
inline constexpr const char* kPluggedUnmounted = "Das Laufwerk '%s' wurde ausgehängt und kann jetzt entfernt werden.";
inline constexpr const char* kPluggedUnmountFailed =
    "Das Laufwerk '%s' konnte nicht ausgehängt werden (%s); alle Daten sind darauf, es kann nach dem Auswerfen im "
    "Dateimanager entfernt werden.";
inline constexpr const char* kScheduleVerifyPlan = "Prüfung der Sicherungen: monatlich (am 1. um 12:00)";
inline constexpr const char* kSchedulePluggedPlan = "Sicherung %s";  // the drive's text
inline constexpr const char* kScheduleNotOnDrive =
    "Das Ziel '%s' liegt auf keinem angeschlossenen Laufwerk (eingehängt unter '%s'); sein Paar bleibt beim "
    "Zeitplan.";
inline constexpr const char* kScheduleFailed = "kalvero-cli: schedule: %s";
inline constexpr const char* kSchedulePlan = "Zeitplan: %s";
inline constexpr const char* kScheduleNoProgram = "kalvero-cli: schedule: Der eigene Programmpfad ist nicht bekannt.";

// The commands a hint names (with --ini FILE when the command had it).
inline constexpr const char* kHintPairsAdd = "pairs add QUELLE ZIEL";
inline constexpr const char* kHintRestore = "restore QUELLE ZIEL";
// Why kalvero-cli pairs refuses its arguments (inside kPairsUsage).
inline constexpr const char* kPairsUnexpectedArgument = "unerwartetes Argument '%s'";
inline constexpr const char* kPairsUnknownOption = "unbekannte Option '%s'";
inline constexpr const char* kPairsUnknownAction = "unbekannte Aktion '%s'";
// A job list entry the settings file holds only in part.
inline constexpr const char* kIncompleteEntrySkipped = "kalvero-cli: unvollständiger Eintrag übergangen: %s";
// The four list files of a backup, in their order, for kListNotCreated.
inline constexpr const char* kListNames[4] = {"kopierte Quelldateien", "kopierte Zieldateien",
                                              "nicht kopierte Quelldateien", "übersprungene Dateien"};

}  // namespace kalvero::cli::texts

#include "shell/Texts.h"
#include <utility>

namespace {
// Built-in German message table; entries not listed are empty until their feature arrives.
QStringList buildStrings()
{
    QStringList list;
    for (int i = 0; i < Texts::StringCount; ++i)
        list.append(QString());
    static const std::pair<int, const char16_t *> kEntries[] = {
        {1, u"Baldren|*.101;*.102;*.111;;*.112;*.201;*.202;*.211;*.212;*.251;*.252;*.291;*.292;*.293;*.STW;*.1ZE;*.2ZE;*.ULV;*.VMX;*.ORN|ZEV 101 (*.101)|*.101|ZEV 102 (*.102)|*.102|ZEV 111 (*.111)|*.111|ZEV 112 (*.112)|*.112|ZEV 201 (*.201)|*.201|ZEV 202 (*.202)|*.202|ZEV 211 (*.211)|*.211|ZEV 212 (*.212)|*.212|ZEV 251 (*.251)|*.251|ZEV 252 (*.252)|*.252|ZEV 291 (*.291)|*.291|ZEV 292 (*.292)|*.292|ZEV 293 (*.293)|*.293|ZEV 071 - 083 (*.STW)|*.STW|ZEV 091 (*.1ZE)|*.1ZE|ZEV 092 (*.2ZE)|*.2ZE|ULVA 9611 (*.ULV)|*.ULV|VMX, universeller Messertumformer (*.VMX)|*.VMX|L-ORN(*.ORN)|*.ORN|Alle Dateien (*.*)|*.*"},
        {2, u"Fehler beim Öffnen der Datei"},
        {3, u"3 x 100 Volt"},
        {4, u"230 / 400 Volt"},
        {5, u"3 x 400 Volt"},
        {6, u"127 / 230 Volt"},
        {7, u"Auftrag"},
        {8, u"F-Nummer"},
        {9, u"Seite"},
        {10, u"Events (*.EVN)|*.EVN|Alle Dateien (*.*)|*.*"},
        {11, u"Programm für Notstrom"},
        {12, u"Programm für Spitzenlastanlagen"},
        {13, u"Programm für Übergabesynchronisierung"},
        {14, u"Programm für Parallelanlagen"},
        {15, u"Programm für Inselbetriebsanlagen"},
        {16, u"Mit Zusatzfunktionen"},
        {17, u"Ohne Zusatzfunktionen"},
        {18, u"Gültige Eingabe: "},
        {19, u"Netz-/Sammelschienenspannung"},
        {20, u"Generatorspannung"},
        {21, u" Ja"},
        {22, u"Nein"},
        // The fault-coding legend and choices. The device type 31 rule replaces the legend
        // from "I - Gen. bleibt ein" on, so that part stays last.
        {23, u"Fehlerkodierung:#13A - Arbeitsstrom   R - Ruhestrom#13V - verzögert   U - unverzögert#13"
             u"S - Abschaltung   W - Warnung#13I - Gen. bleibt ein   0 - Gen. aus"},
        {24, u"A"},
        {25, u"R"},
        {26, u"V"},
        {27, u"U"},
        {28, u"S"},
        {29, u"W"},
        {30, u"I"},
        {31, u"0"},
        {32, u"Arbeitsstrom"},
        {33, u"Ruhestrom"},
        {34, u"verzögert"},
        {35, u"unverzögert"},
        {36, u"Abschaltung"},
        {37, u"Warnung"},
        // Item 0 of the fourth fault-coding box belongs to the letter "I" (generator stays on);
        // GetText renames both texts on device type 31.
        {38, u"Gen. bleibt ein"},
        {39, u"Gen. aus"},
        {40, u"Sie müssen erst Parameter aus#13einer Datei oder einem Gerät laden!"},
        {41, u"Time Out bei Datentransfer"},
        {42, u"Betriebsart muss OFF sein."},
        {43, u"Geben Sie die Ident Nummer ein."},
        {45, u"Ident Nummer Mirelo falsch"},
        {46, u"Wert muss zwischen 1 und 3 sein!"},
        {47, u"Wert muss zwischen 5 und 9 sein!"},
        {48, u"Projekt: "},
        {49, u"Verzeichnis konnte nicht erstellt werden"},
        {50, u"INI Datei konnte nicht gespeichert werden"},
        {51, u"Sollwerte speichern"},
        {52, u"Keine Kennung"},
        {53, u"Differenzen"},
        {54, u"Simulation prüfen"},
        {61, u"Datei ist gespeichert am "},
        {62, u"Datenverbindung hergestellt."},
        {63, u"Abbruch"},
        {65, u"Ordner für Sollwerte"},
        {67, u"Daten werden geholt . . . "},
        {68, u"Parameter werden übertragen ... "},
        {71, u"Kein Protokoll gefunden.#13Überprüfen Sie die Schnittstelle und Datenverbindung.#13Stellen Sie dann die Datenverbindung über 'Optionen' und 'Protokoll' her."},
        {72, u"Keine Datenverbindung. Protokoll wird gesucht."},
        {73, u"Prüfen Protokoll "},
        {74, u"Sollwerte gehören nicht zu Analogwerten"},
        {75, u"Übertragen"},
        {77, u"Abgleichen"},
        {80, u"Neuen Abgleich übernehmen?"},
        {96, u"Erfasste Werte nicht korrekt."},
        {100, u"Ausgänge simulieren"},
        {102, u"DROS Datenkoppler gefunden.#13Falls keine Verbindung zum Gerät besteht, die Reset-Taste am DROS drücken#13und die LEDs für Senden und Empfangen beobachten."},
        {103, u"Datenkoppler angeschlossen?"},
        {105, u"Dieser Parameter erfordert eine Hardwareänderung."},
        {106, u"Der Höchstwert folgt aus dem eingestellten Messbereich."},
        {107, u"Kontrollieren Sie die Werte des Frequenznormals."},
        {108, u"Alle Abhängigen Schaltpunkte werden geändert.#13Bitte etwas Geduld...."},
        {109, u"Falsche Parameterdatei."},
        {110, u"Unterschiedliche Programmversionen!#13Sollen Daten trotzdem übertragen werden?"},
        {111, u"Zeile 1"},
        {112, u"Zeile 2"},
        {113, u"Bezeichnung"},
        {114, u"Abgleich AD-Wandler"},
        {115, u"Simulierte Werte zu klein.#13Abgleich wird angebrochen."},
        {116, u"Simulierte Werte zu groß.#13Abgleich wird angebrochen."},
        {117, u"Differenz zwischen Abgleichpunkten zu klein.#13Abgleich wird angebrochen."},
        {118, u"Auflegen"},
        {120, u"Datum/Zeit des PC"},
        {121, u"Datum/Zeit des Gerätes"},
        {122, u"Datenverbindung gestört"},
        {123, u"Meldung speichernd"},
        {124, u"Meldung nicht speichernd"},
        {125, u"Fehlerkodierung:#13A - Arbeitsstrom   R - Ruhestrom#13V - verzögert   U - unverzögert#13"
              u"S - Abschaltung   W - Warnung#13I - Meldung speichernd   0 - Meldung nicht speichernd"},
        {126, u"CAN_AE"},
        {127, u"   Kanal"},
        {128, u" Nicht möglich! "},
        {129, u" Parametrierung nicht frei! "},
        {130, u"Abgleich ZEV 101 - Z112"},
        {131, u"Phasenlage"},
        // The label of the smallest allowed calibration difference; the table had only a placeholder.
        {135, u"Mindestdifferenz"},
        // The warning for a manual that is not installed; the file name follows on the next line.
        {136, u"Das Handbuch wurde nicht gefunden:"},
        {137, u"Dieser Parameter ist geschützt."},
        {138, u"Bitte schalten Sie die Versorgungsspannung des Reglers für ca. 30 Sekunden aus,#13damit die Parameter übernommen werden."},
        {139, u"Wartungsintervall"},
        {141, u"IDENT-Nummer 5-stellig. Z.B. 00456"},
        {142, u"Eventspeicher löschen"},
        {143, u"Zusätzliche Stunden bis Stop bei Wartungsintervall"},
        {144, u"Parameterliste"},
        {145, u"Anschluss"},
        {147, u"Keine Parameter geladen#13oder Ereignisspeicher nicht vorhanden"},
        {149, u"Speichern"},
        {151, u"Ereignisse"},
        {152, u"Nur für berechtigtes Personal"},
        {153, u"PELK Datenkoppler gefunden.#13Die Baudrate des PELK zum Gerät muss zur Baudrate des Gerätes passen."},
        {154, u"Baudrate zum Gerät"},
        {155, u"kein Datenverkehr zum PELK"},
        {159, u"Eventspeicher gelöscht"},
        {177, u"Programierung von Vindel ebenfalls senden?"},
        {178, u"Sondersoftware"},
        {179, u"Hinweis: Der Vorteiler des Drehzahlgebers muss zur Zähnezahl des Gebers passen.#13Bitte Drehzahlanzeige nach der Änderung prüfen."},
        {180, u"Offline Datei: "},
        {181, u"Verbunden mit Gerät:"},
        {182, u"Telefonverbindung gestört"},
        {183, u"Abgleich nicht möglich"},
        {191, u"Modem in ZEV konfigurieren"},
        {193, u"Seite"},
        {199, u"Modemtyp und weitere Parameter unter#13Parameter/Modem"},
        {287, u"Modem vorhanden"},
        {288, u"Kein Modem vorhanden"},
        {289, u"Protokoll "},
        {290, u"Handshake "},
        {291, u"0 - 60000 (0 = aus)"},
        {292, u"Befehl zum Modem"},
        {293, u"Initialisierung"},
        {313, u"Ident FBED"},
        {314, u"IDENT-Nummer FBED falsch"},
        {315, u"Start"},
        {316, u"Stop"},
        {320, u"Die Firmwareversion der Datei und des Gerätes sind unterschiedlich.#13Sollen Daten trotzdem übertragen werden?"},
        {321, u"Sprache wählen"},
        {322, u"Schnittstelle wählen"},
        {324, u"Update vorhanden, siehe:"},
        // Texts of the shell beyond the original table.
        {401, u"Das Verzeichnis \"%1\" existiert nicht.#13Soll es erstellt werden?"},
        {402, u"vom "},
        // The program's own texts of the windows: messages, feedback, box captions.
        {510, u"Datei nicht geladen:"},
        {550, u"Keine Antwort vom Gerät. Werte von %1"},
        {511, u"Änderungen speichern?"},
        {512, u"Gespeichert:"},
        {513, u"Nichts zu konvertieren"},
        {514, u"Konvertiert:"},
        {515, u"Geladen:"},
        {516, u"Parameter geschlossen"},
        {517, u"Fehler"},
        {518, u"Warnung"},
        {519, u"Information"},
        {520, u"Bestätigen"},
        {521, u"&Ja"},
        {522, u"&Nein"},
        {523, u"Abbrechen"},
        {524, u"Suchen …"},
        {525, u"Nicht gespeichert"},
        {526, u"Geändert seit dem Laden"},
        {527, u"Schließen"},
        // Operating hours and starts (610..619).
        {610, u"Der Zähler muss eine ganze Zahl von 0 bis 16777215 sein."},
        {611, u"Kein Wert zum Schreiben: bitte einen Wert eingeben oder den Zähler erst lesen."},
        {612, u"Das Gerät zeigt nach dem Schreiben %1 statt %2."},
        {613, u"Betriebsstunden und Starts gibt es nur bei Reglern."},
        {614, u"Keine Verbindung zum Gerät: bitte erst \"Parameter aus Gerät\" lesen."},
        {615, u"Betriebsstunden und Starts nur mit der Zugangsebene \"Ser\"."},
        // Mains protection test (630..639).
        {630, u"Der Netzschutztest ist noch 5 Minuten aktiv!\n#13Soll verlängert werden?"},
        {631, u"Das Gerät hat den Start des Netzausfalltests nicht übernommen."},
        {632, u"Das Gerät hat das Stoppen des Netzausfalltests nicht übernommen."},
        // Event memory (640..659).
        {640, u"Event-File kann nicht geöffnet werden! Abweichende Zeilenanzahl!"},
        {641, u"Kopfzeile %1 ist keine Zahl von 0 bis 255: \"%2\""},
        {642, u"Zeile %1 ist kein Ereignis (59 Zeichen Text, dann die Farbklasse als Zahl)."},
        {643, u"Die Datei hat %1 Ereignisse, höchstens %2 sind möglich."},
        {644, u"Zum Löschen des Ereignisspeichers ist eine Zugangsebene über \"Cus\" nötig."},
        {645, u"Der Ereignisspeicher meldet einen ungültigen Zeiger (%1)."},
        {646, u"Ereignisspeicher des Gerätes löschen?"},
        {647, u"Ereignisspeicher gelöscht."},
        // RAM list (620..629).
        {620, u"Die RAM-Liste gibt es nur bei Reglern."},
        {621, u"Die RAM-Liste nur mit der Zugangsebene \"Ser\"."},
        {622, u"Diagnose zurückgesetzt."},
        {660, u"Der Wert muss eine ganze Zahl von %1 bis %2 sein."},
        {661, u"Service-Funktionen gibt es nur bei Reglern."},
        {662, u"Kein Wert zum Schreiben: bitte einen Wert eingeben oder den Wert erst lesen."},
        {663, u"Das Löschen des Eventspeichers ist in diesem Parametersatz nicht freigegeben."},
        {664, u"Die Programmumschaltung ist unvollständig: nur %1 von 3 Bytes wurden geschrieben. Bitte erneut ausführen."},
        {665, u"Die Programmumschaltung gibt es nur für die Programme 001, 002, 003, 005 und 009."},
        // Printing and export (580..599).
        {580, u"Die Datei \"%1\" konnte nicht geschrieben werden:#13%2"},
        {581, u"Als PDF speichern"},
        {582, u"PDF-Dateien (*.pdf)"},
        {583, u"Es ist kein Drucker installiert. Die Liste als PDF-Datei speichern?"},
        // Conversion and device data (470..489).
        {470, u"Im Befehl %1 fehlt Feld %2 (%3)."},
        {471, u"Im Befehl %1 ist Feld %2 (%3) ungültig: %4"},
        {472, u"Die konvertierten Daten (Version %1) lassen sich nicht lesen:#13%2#13Die Konvertierung wurde nicht übernommen, die bisherigen Daten bleiben unverändert."},
        {473, u"Quelle"},
        {474, u"Ziel"},
        {475, u"Anzahl"},
        {476, u"Adresse"},
        {477, u"Multiplikator"},
        {478, u"Divisor"},
        {479, u"Subtrahend"},
        {480, u"UND-Maske"},
        {481, u"ODER-Maske"},
        {482, u"neue Basis"},
        {483, u"Version"},
        {484, u"Datum"},
        {485, u"Wert"},
        // Value editors.
        {490, u"Der Wert liegt außerhalb des gültigen Bereichs."},
        {491, u"Dieser Wert kann auf diesem Gerät nicht umgerechnet werden: das Gerät nennt keine Periodenbasis."},
        // 450..469: repetitions of exchanges on noisy lines.
        {450, u"Wiederholung %1 von %2: %3"},
        {451, u"Keine Datenverbindung."},
        // The serial line and the port choice.
        {420, u"Die Verbindung ist abgebrochen (Adapter entfernt oder Gegenstelle beendet). Die Schnittstelle wurde geschlossen: "},
        {421, u"Keine Berechtigung für die Schnittstelle "},
        {422, u"Der Benutzer muss Mitglied der Gruppe \"dialout\" sein (danach neu anmelden)."},
        {423, u"Die Schnittstelle wird von einem anderen Programm benutzt: "},
        {424, u"Prozess "},
        {425, u"Schnittstelle nicht vorhanden: "},
        {426, u"nicht geöffnet"},
        {427, u"Während einer Übertragung kann die Schnittstelle nicht gewechselt werden."},
        {428, u"Während einer Übertragung kann das Protokoll nicht gewechselt werden."},
        {429, u"Abbruch"},
        {430, u"Protokollsuche abgebrochen"},
        {431, u"Protokoll suchen"},
        // Trend chart (790..819).
        {790, u"Datei konnte nicht gespeichert werden"},
        {791, u"Zeile %1: "},
        {792, u"die erste Zeile nennt keine Datenreihe (Felder mit \";\" getrennt)"},
        {793, u"mehr als %1 Messungen"},
        {794, u"Feld %1 \"%2\" ist keine Uhrzeit"},
        {795, u"Feld %1 \"%2\" ist keine Zahl"},
        {796, u"Der Anzeigebereich ist 0 Stunden 0 Minuten. Bitte einen Anzeigebereich wählen und erneut starten."},
        {797, u"Die Aufzeichnung hat %1 Messungen erreicht und wurde angehalten."},
        {798, u"Es ist kein Drucker installiert. Das Diagramm als PDF-Datei speichern?"},
        // Converter calibration of the controllers (850..899).
        {850, u"Die Definitionsdatei enthält keine Abgleichtabelle (\"SPWStart:\"). Ein Abgleich ist nicht möglich."},
        {851, u"Abgleichtabelle, Zeile %1: ohne \"*\", oder \"SPWEnd:\" fehlt. Ein Abgleich ist nicht möglich."},
        {852, u"Die Abgleichtabelle hat %1 Zeilen, erlaubt sind höchstens %2. Ein Abgleich ist nicht möglich."},
        {853, u"Abgleichtabelle, Zeile %1: Feld f%2 fehlt oder ist ungültig (\"%3\"). Ein Abgleich ist nicht möglich."},
        {854, u"%1:#13Der neue Abgleich wurde nicht übernommen, die bisherigen Werte sind wieder im Gerät. Dieser Punkt muss wiederholt werden."},
        {855, u"%1:#13Die Abgleichwerte wurden nur teilweise geschrieben, die bisherigen Werte konnten nicht zurückgeschrieben werden! Dieser Punkt muss wiederholt werden."},
        {856, u"Das Gerät zeigt beim Rücklesen andere Werte als geschrieben."},
        {857, u"%1:#13Es wurde nichts geschrieben. Dieser Punkt muss wiederholt werden."},
        {858, u"Abgleich geschrieben: %1 (%2 Bytes ab Adresse %3)."},
        {859, u"Die Abgleichtabelle der Definitionsdatei enthält keine Abgleichpunkte."},
        // 820..849: the CPU memory window and its S-record files.
        {820, u"Zeile %1: %2"},
        {821, u"unzulässiges Zeichen \"%1\""},
        {822, u"ungerade Anzahl Hexziffern"},
        {823, u"Satz zu kurz"},
        {824, u"Längenbyte %1 passt nicht zu %2 Bytes in der Zeile"},
        {825, u"Prüfsumme %1 falsch, erwartet %2"},
        {826, u"Adresse %1 mit %2 Bytes liegt außerhalb von 000000 bis FFFFFF"},
        {827, u"%1: Datenbereich %2: %3"},
        {828, u"Start und Länge erwartet (Start;Länge)"},
        {829, u"Länge %1 unzulässig, erlaubt ist 1 bis %2"},
        {830, u"Start %1 liegt außerhalb von 000000 bis FFFFFF"},
        {831, u"Lesen bei Adresse %1 gescheitert: %2. Die Datei wurde nicht geschrieben."},
        {832, u"Schreiben bei Adresse %1 gescheitert: %2. Zuletzt vollständig geschrieben: Zeile %3."},
        {833, u"Schreiben bei Adresse %1 gescheitert: %2. Keine Zeile wurde vollständig geschrieben."},
        {834, u"Die Datei %1 konnte nicht gespeichert werden: %2"},
        {835, u"Übertragung abgebrochen"},
        {836, u"Die Datei %1 konnte nicht gelesen werden: %2"},
        {837, u"Das Gerät hat die Anfrage abgewiesen (Antwort %1)."},
        {838, u"Die Antwort des Geräts ist zu kurz."},
        {839, u"Eine Übertragung läuft noch."},
        {840, u"Unbekannter CPU-Typ: %1"},
        {841, u"Unbekannter Datenbereich: %1"},
        {842, u"nicht gefunden"},
        {843, u"Individuell"},
        {844, u"keine Datenbereiche ausgewählt"},
        {845, u"Hole"},
        {846, u"S2 Zeilen"},
        {847, u"keine S2 Zeilen gefunden"},
        {848, u"Daten gespeichert"},
        {849, u"Senden abgeschlossen"},
        // ULVA calibration, output simulation and CAN values (900..949).
        {900, u"Kanal %1 übertragen."},
        {901, u"Kanal %1 nicht übertragen: das Modul behält seine bisherigen Werte."},
        {902, u"Kanal %1: die Sensorart %2 wird nicht abgeglichen."},
        {903, u"Kanal %1: die Übertragung wurde nicht bestätigt. Bitte erneut übertragen."},
        {904, u"Der Grundabgleich-Modus des Moduls (Adresse 0057) ist noch nicht ausgeschaltet.#13Trotzdem schließen?"},
        {906, u"Nicht alle Ausgänge konnten in den normalen Betrieb zurückgesetzt werden."},
        {907, u"Das Gerät hat die CAN-Auswahl nicht rechtzeitig bestätigt."},
        {908, u"Die CAN-Auswahl wurde nicht vollständig übernommen."},
        {909, u"Der Grundabgleich gilt nur für das Analogmodul ULVA 9611."},
        // Modem connection (720..759).
        {720, u"Rufnummer"},
        {721, u"Das Modem antwortet nicht."},
        {722, u"Das Modem antwortet: %1"},
        {723, u"Das Modem hat nicht aufgelegt: die Trägerleitung (DCD) ist noch an."},
        {724, u"Die Leitung ist belegt: Modembefehle und ein Wechsel der Baudrate erst, wenn keine Übertragung mehr läuft."},
        {725, u"Die FBED-Nummer muss eine ganze Zahl von 0 bis 65535 sein."},
        {726, u"Telefonbuch: der Eintrag ab Zeile %1 ist unvollständig und wurde übergangen."},
        {727, u"Telefonbuch: die Baudrate \"%1\" in Zeile %2 wird nicht unterstützt (2400, 9600, 19200)."},
        {728, u"Der Modembefehl konnte nicht gesendet werden: die Schnittstelle ist nicht offen."},
        {729, u"Keine Verbindung über das Modem."},
        {730, u"Über eine Modemverbindung wird kein Protokoll gesucht: erst auflegen."},
        // Data coupler, ZuviDezar and the modem pass-through (760..789), and two texts of
        // the original table that these windows show.
        {192, u"Die Alarme 24, 26, 27, 29 und 31 sind nicht bei allen Geräten vorhanden."},
        {319, u"Die PC-Schnittstelle des Datenkopplers muss auf 9600 Baud ohne Handshake eingestellt sein.#13Meldet die Protokollsuche eine Datenverbindung statt des Datenkopplers, stellt \"PC Connect\" sie so ein.#13Danach das Protokoll neu wählen."},
        {760, u"Keine Baudrate gewählt: es wurde nichts geschrieben."},
        {761, u"Die Baudrate \"%1\" kennt der Datenkoppler nicht (1200, 2400, 4800, 9600, 15625 oder 62500)."},
        {762, u"Datenkoppler gefunden bei %1; er arbeitet jetzt mit 9600 BPS ohne Handshake."},
        {763, u"SMSC von Master %1: bitte eine Ziffer 0 bis 9 eingeben. Es wurde nichts geschrieben."},
        {764, u"Die Alarmauswahl ist noch nicht vom Gerät bestätigt: es wurde nichts geschrieben."},
        {765, u"Die Antwort des Gerätes ist zu kurz."},
    };
    for (const auto &e : kEntries)
        list[e.first] = QString::fromUtf16(e.second);
    return list;
}

QStringList buildTele()
{
    return {QString(),
            QStringLiteral("Fehler beim Senden, Anforderung Zeichen 1"),
            QStringLiteral("Kein Echo auf Anforderung Zeichen 1"),
            QStringLiteral("Falsches Echo auf Anforderung Zeichen 1"),
            QStringLiteral("Fehler beim Senden, Anforderungs-Telegramm"),
            QStringLiteral("Fehler beim Senden, Anforderung Checksumme"),
            QStringLiteral("TimeOut, beim Warten auf Zeichen 1 vom Antwort-T."),
            QStringLiteral("Falsche Geräte-Nr., (Zeichen 1 vom Antwort-Tele.)"),
            QStringLiteral("Fehler beim Senden, Echo Zeichen 1 vom Antwort-T."),
            QStringLiteral("TimeOut, beim Warten auf Antwort-Telegramm"),
            QStringLiteral("TimeOut, beim Warten auf Checksumme vom Antwort-T."),
            QStringLiteral("Falsche Checksumme vom Antwort-Telegramm"),
            QStringLiteral("Fehler-Kennung im Antwort-Telegramm"),
            QStringLiteral("Kein Echo auf Anforderung Zeichen 1 (n=0)"),
            QStringLiteral("Abbruch von Extern"),
            QStringLiteral("Fehler bei der Auswertung"),
            QStringLiteral("Nicht definiert !")};
}
// Alarm and status texts, entry n for alarm n + 1. The free numbers 1..19 and 49..64
// hold placeholders until a definition file supplies the device's own texts.
QStringList buildZlt()
{
    QStringList list;
    for (int n = 1; n <= 19; ++n)
        list.append(QString::number(n) + QLatin1Char('='));
    static const char16_t *const kFixed[] = {
        u"Batterie Unterspannung", u"Motor stellt nicht ab", u"Motor Fehlstart", u"Überdrehzahl",
        u"Leistungsregler gestört ", u"Generator Rückleistung", u"Synchronisierung gestört",
        u"Netz Ausschaltung gestört", u"Generator Ausschaltung gestört", u"Netzschalterfall",
        u"Generatorschalterfall", u"Phasenfolge Netz", u"Phasenfolge Generator", u"Netzüberstrom I",
        u"Netzüberstrom II", u"Schieflast Netz", u"Thermische Überlast Netz", u"Generator Überstrom I",
        u"Generator Überstrom II", u"Schieflast Generator", u"Thermische Überlast Generator",
        u"Netz Unterspannung", u"Netz Überspannung", u"Netz Unterfrequenz", u"Netz Überfrequenz",
        u"Generator Unterspannung", u"Generator Überspannung", u"Generator Unterfrequenz",
        u"Generator Überfrequenz"};
    for (const char16_t *t : kFixed)
        list.append(QString::fromUtf16(t));
    for (int n = 49; n <= 64; ++n)
        list.append(QString::number(n));
    static const char16_t *const kStatus[] = {
        u"Aggregat verfuegbar", u"Aggregat laeuft", u"Netzschalter ist ein ", u"Gen. Schalter ist ein",
        u"Betriebsart 0ff", u"Betriebsart Manual", u"Betriebsart Auto", u"Betriebsart Test", u"Netzausfall ",
        u"Spitzenlastanforderung ", u"Fernstart", u"Notstop betaetigt", u"Eingang externer Schnellstop",
        u"Automatik gesperrt", u"Reserve", u"Reserve", u"Netzausfall du/dt", u"Netzausfall df/dt",
        u"Netzausfall Vektorsprung", u"Parametrierung ", u"Generatorspannung ist gut",
        u"Sammelstörung warnender Alarme", u"Sammelstörung abstellender Alarme", u"Sammelstörung aller Alarme"};
    for (const char16_t *t : kStatus)
        list.append(QString::fromUtf16(t));
    return list;
}
} // namespace

TConstList &CL_Strings()
{
    static TConstList list{buildStrings()};
    return list;
}

TConstList &CL_Tele()
{
    static TConstList list{buildTele()};
    return list;
}

TConstList &CL_ZLT()
{
    static TConstList list{buildZlt()};
    return list;
}

void SetZltText(int i, const QString &text)
{
    QStringList &c = CL_ZLT().Consts;
    if (i < 0)
        return;
    if (i < c.size())
        c[i] = text;
    else
        c.append(text);
}

void ResetFreeAlarmTexts()
{
    const QStringList builtIn = buildZlt();
    QStringList &c = CL_ZLT().Consts;
    while (c.size() > builtIn.size())
        c.removeLast();
    for (int i = 0; i < builtIn.size(); ++i) {
        const bool free = i <= 18 || (i >= 48 && i <= 63);
        if (i >= c.size())
            c.append(builtIn.at(i));
        else if (free)
            c[i] = builtIn.at(i);
    }
}

static int g_deviceType = 55;

void Texts::SetDeviceTypeForTexts(int deviceType) { g_deviceType = deviceType; }

QString GetText(int n)
{
    const QStringList &c = CL_Strings().Consts;
    if (n < 0 || n >= c.size())
        return QString();
    QString t = c.at(n);
    t.replace(QLatin1String("#13"), QLatin1String("\r"));
    if (g_deviceType == 31) {
        if (t == QLatin1String("Gen. bleibt ein"))
            return QStringLiteral("Warnung II aus");
        if (t == QLatin1String("Gen. aus"))
            return QStringLiteral("Warnung II ein");
    }
    return t;
}

QString TeleText(int index)
{
    const QStringList &c = CL_Tele().Consts;
    return (index >= 0 && index < c.size()) ? c.at(index) : QString();
}

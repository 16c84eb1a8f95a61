<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="de_DE">
<context>
    <name>BoatLabels</name>
    <message>
        <source>Skipper: %1</source>
        <translation>Skipper: %1</translation>
    </message>
    <message>
        <source>%1 kn</source>
        <translation>%1 kn</translation>
    </message>
    <message>
        <source>, Kurs %1°</source>
        <translation>, course %1°</translation>
    </message>
    <message>
        <source>im Ziel</source>
        <translation>finished</translation>
    </message>
    <message>
        <source>%1 km bis %2</source>
        <translation>%1 km to %2</translation>
    </message>
    <message>
        <source>Ausreißer nicht gezeigt: %1</source>
        <translation>Outliers not shown: %1</translation>
    </message>
</context>
<context>
    <name>CursorStatus</name>
    <message>
        <source>Lat:</source>
        <translation>Lat:</translation>
    </message>
    <message>
        <source>Lng:</source>
        <translation>Lng:</translation>
    </message>
    <message>
        <source>Zoom:</source>
        <translation>Zoom:</translation>
    </message>
    <message>
        <source>Lat:%1</source>
        <translation>Lat:%1</translation>
    </message>
    <message>
        <source>Lng:%1</source>
        <translation>Lng:%1</translation>
    </message>
    <message>
        <source>Zoom:%1</source>
        <translation>Zoom:%1</translation>
    </message>
</context>
<context>
    <name>Database</name>
    <message>
        <source>Initialisierung...</source>
        <translation>Setting up...</translation>
    </message>
    <message>
        <source>Die Datenbank wird in der Version %1 neu angelegt.

</source>
        <translation>A new database is created with version %1.

</translation>
    </message>
    <message>
        <source>Update...</source>
        <translation>Update...</translation>
    </message>
    <message>
        <source>Die Datenbank wird von Version %1 auf die neueste Version %2 aktualisiert.

</source>
        <translation>The database is brought from version %1 up to the newest version %2.

</translation>
    </message>
</context>
<context>
    <name>FixAgeLabel</name>
    <message>
        <source>vor %1 s</source>
        <translation>%1 s ago</translation>
    </message>
    <message>
        <source>vor %1 min</source>
        <translation>%1 min ago</translation>
    </message>
    <message>
        <source>vor %1 h %2 min</source>
        <translation>%1 h %2 min ago</translation>
    </message>
    <message>
        <source>vor %1 Tagen</source>
        <translation>%1 days ago</translation>
    </message>
    <message>
        <source>Neueste Position %1</source>
        <translation>Newest fix %1</translation>
    </message>
    <message>
        <source>Noch keine Position</source>
        <translation>No fix yet</translation>
    </message>
</context>
<context>
    <name>FrameRecorder</name>
    <message>
        <source>Bilder werden nach %1 geschrieben</source>
        <translation>Writing frames to %1</translation>
    </message>
    <message>
        <source>Bildaufzeichnung beendet</source>
        <translation>Frame recording stopped</translation>
    </message>
    <message>
        <source>Ordner %1 kann nicht angelegt werden</source>
        <translation>Cannot create the folder %1</translation>
    </message>
    <message>
        <source>Bild %1 konnte nicht geschrieben werden: %2</source>
        <translation>Could not write frame %1: %2</translation>
    </message>
</context>
<context>
    <name>Gpx</name>
    <message>
        <source>Die Datei „%1“ kann nicht geschrieben werden: %2</source>
        <translation>Cannot write the file “%1”: %2</translation>
    </message>
    <message>
        <source>Die Datei „%1“ kann nicht gespeichert werden: %2</source>
        <translation>Cannot save the file “%1”: %2</translation>
    </message>
    <message>
        <source>keine GPX-Datei</source>
        <translation>not a GPX file</translation>
    </message>
    <message>
        <source>ungültige Zeit in den Metadaten</source>
        <translation>invalid time in the metadata</translation>
    </message>
    <message>
        <source>ungültiger Trackpunkt in Zeile %1</source>
        <translation>invalid track point in line %1</translation>
    </message>
</context>
<context>
    <name>GpxExportFlow</name>
    <message>
        <source>Als GPX exportieren</source>
        <translation>Export as GPX</translation>
    </message>
    <message>
        <source>Keine angezeigten Boote mit Positionsdaten.</source>
        <translation>No shown boats with positions.</translation>
    </message>
    <message>
        <source>GPX-Dateien (*.gpx)</source>
        <translation>GPX files (*.gpx)</translation>
    </message>
    <message>
        <source>1 Boot</source>
        <translation>1 boat</translation>
    </message>
    <message>
        <source>%1 Boote</source>
        <translation>%1 boats</translation>
    </message>
    <message>
        <source>%1 nach %2 exportiert</source>
        <translation>Exported %1 to %2</translation>
    </message>
</context>
<context>
    <name>GraphPanel</name>
    <message>
        <source>Geschwindigkeit (kn)</source>
        <translation>Speed (kn)</translation>
    </message>
    <message>
        <source>VMC zur nächsten Marke (kn)</source>
        <translation>VMC to the next mark (kn)</translation>
    </message>
    <message>
        <source>Abstand zum Klassenersten (sm)</source>
        <translation>Distance to the class leader (nm)</translation>
    </message>
    <message>
        <source>VMG zum Wind (kn)</source>
        <translation>VMG to the wind (kn)</translation>
    </message>
    <message>
        <source>VMC: Geschwindigkeit in Richtung der nächsten Marke. VMG: Geschwindigkeit gegen den Wind auf Kreuzkursen, mit ihm auf Vorwindkursen, nach dem geschätzten oder eingegebenen Wind.</source>
        <translation>VMC: speed towards the next mark. VMG: speed against the wind on beats and with it on runs, from the estimated or entered wind.</translation>
    </message>
    <message>
        <source>Zum Vergleich (das verfolgte Boot ist immer dabei):</source>
        <translation>For comparison (the followed boat is always shown):</translation>
    </message>
    <message>
        <source>Ein Boot verfolgen oder unten ankreuzen</source>
        <translation>Follow a boat or tick one below</translation>
    </message>
</context>
<context>
    <name>Handicap</name>
    <message>
        <source>Zeile %1</source>
        <translation>Line %1</translation>
    </message>
    <message>
        <source>%1: drei Felder erwartet (Boot; System; Wert), %2 gefunden</source>
        <translation>%1: three fields expected (boat; system; value), %2 found</translation>
    </message>
    <message>
        <source>%1: kein Boot mit Segelnummer oder Name „%2“</source>
        <translation>%1: no boat with sail number or name “%2”</translation>
    </message>
    <message>
        <source>%1: „%2“ passt auf mehrere Boote</source>
        <translation>%1: “%2” matches several boats</translation>
    </message>
    <message>
        <source>%1: unbekanntes System „%2“ (ToT oder ToD)</source>
        <translation>%1: unknown system “%2” (ToT or ToD)</translation>
    </message>
    <message>
        <source>%1: ungültiger Wert „%2“</source>
        <translation>%1: invalid value “%2”</translation>
    </message>
    <message>
        <source>Time-on-Time</source>
        <translation>Time-on-Time</translation>
    </message>
    <message>
        <source>Time-on-Distance</source>
        <translation>Time-on-Distance</translation>
    </message>
    <message>
        <source>ToT %1</source>
        <translation>ToT %1</translation>
    </message>
    <message>
        <source>ToD %1 s/sm</source>
        <translation>ToD %1 s/nm</translation>
    </message>
</context>
<context>
    <name>IconSelector</name>
    <message>
        <source>Nr.</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>Team</source>
        <translation>Team</translation>
    </message>
    <message>
        <source>Boot</source>
        <translation>Boat</translation>
    </message>
    <message>
        <source>Skipper</source>
        <translation>Skipper</translation>
    </message>
    <message>
        <source>letzte Meldung</source>
        <translation>Last report</translation>
    </message>
    <message>
        <source>Icons auswählen</source>
        <translation>Choose icons</translation>
    </message>
    <message>
        <source>Vergütung von %1...</source>
        <translation>Rating of %1...</translation>
    </message>
    <message>
        <source>Vergütungen importieren...</source>
        <translation>Import ratings...</translation>
    </message>
</context>
<context>
    <name>ImportDialog</name>
    <message>
        <source>Regatta aus Dateien importieren</source>
        <translation>Import race from files</translation>
    </message>
    <message>
        <source>Datei</source>
        <translation>File</translation>
    </message>
    <message>
        <source>Boot</source>
        <translation>Boat</translation>
    </message>
    <message>
        <source>Klasse</source>
        <translation>Class</translation>
    </message>
    <message>
        <source>Segelnummer</source>
        <translation>Sail number</translation>
    </message>
    <message>
        <source>Name der Regatta:</source>
        <translation>Name of the race:</translation>
    </message>
    <message>
        <source>Diese Dateien können nicht importiert werden; es wurde nichts gespeichert:</source>
        <translation>These files cannot be imported; nothing was stored:</translation>
    </message>
    <message>
        <source>Einige Punkte sind fehlerhaft. Nur die guten Punkte importieren?</source>
        <translation>Some points are bad. Import only the good points?</translation>
    </message>
    <message>
        <source>Die Regatta konnte nicht gespeichert werden: %1</source>
        <translation>The race could not be stored: %1</translation>
    </message>
</context>
<context>
    <name>Karte</name>
    <message>
        <source>© OpenStreetMap-Mitwirkende</source>
        <translation>© OpenStreetMap contributors</translation>
    </message>
    <message>
        <source>Seezeichen © OpenSeaMap</source>
        <translation>Seamarks © OpenSeaMap</translation>
    </message>
</context>
<context>
    <name>LeaderboardPanel</name>
    <message>
        <source>Rang</source>
        <translation>Rank</translation>
    </message>
    <message>
        <source>Nr.</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>Boot</source>
        <translation>Boat</translation>
    </message>
    <message>
        <source>nächste Marke</source>
        <translation>Next mark</translation>
    </message>
    <message>
        <source>Dist. nächste Marke</source>
        <translation>Dist. next mark</translation>
    </message>
    <message>
        <source>Dist. Ziel</source>
        <translation>Dist. finish</translation>
    </message>
    <message>
        <source>Speed</source>
        <translation>Speed</translation>
    </message>
    <message>
        <source>Abstand</source>
        <translation>Gap</translation>
    </message>
    <message>
        <source>%1%2 km (%3 sm)</source>
        <translation>%1%2 km (%3 nm)</translation>
    </message>
    <message>
        <source>im Ziel %1</source>
        <translation>finished %1</translation>
    </message>
    <message>
        <source>Schenkel</source>
        <translation>Leg</translation>
    </message>
    <message>
        <source>VMC</source>
        <translation>VMC</translation>
    </message>
    <message>
        <source>Ø 1 h</source>
        <translation>Avg 1 h</translation>
    </message>
    <message>
        <source>Ø 4 h</source>
        <translation>Avg 4 h</translation>
    </message>
    <message>
        <source>Ø 24 h</source>
        <translation>Avg 24 h</translation>
    </message>
    <message>
        <source>Ankunft</source>
        <translation>ETA</translation>
    </message>
    <message>
        <source>Abstand (Zeit)</source>
        <translation>Gap (time)</translation>
    </message>
    <message>
        <source>letzte Meldung</source>
        <translation>Last report</translation>
    </message>
    <message>
        <source>Segelzeit</source>
        <translation>Elapsed</translation>
    </message>
    <message>
        <source>berechnete Zeit</source>
        <translation>Corrected</translation>
    </message>
    <message>
        <source>Nach berechneter Zeit ordnen</source>
        <translation>Rank by corrected time</translation>
    </message>
    <message>
        <source>Ordnet jede Klasse nach der berechneten Zeit (im Ziel, sonst vorausberechnet aus der Ankunft); Boote ohne Vergütung folgen in der Reihenfolge auf der Bahn.</source>
        <translation>Ranks each class by corrected time (at the finish, else projected from the estimated arrival); boats without a rating follow in course order.</translation>
    </message>
    <message>
        <source>vor %1 s</source>
        <translation>%1 s ago</translation>
    </message>
    <message>
        <source>vor %1 min</source>
        <translation>%1 min ago</translation>
    </message>
    <message>
        <source>vor %1 h %2 min</source>
        <translation>%1 h %2 min ago</translation>
    </message>
    <message>
        <source>vor %1 T %2 h</source>
        <translation>%1 d %2 h ago</translation>
    </message>
    <message>
        <source>%1 T %2</source>
        <translation>%1 d %2</translation>
    </message>
    <message>
        <source>Platz in der Klasse: zuerst die Boote im Ziel nach ihrer Zielzeit, dann nach passierten Toren (ein Tor zählt, wenn der Weg zwischen zwei Meldungen seine Linie kreuzt) und der Distanz zum Ziel.</source>
        <translation>Place in the class: first the finished boats by finish time, then by gates passed (a gate counts when the way between two fixes crosses its line) and distance to the finish.</translation>
    </message>
    <message>
        <source>Das nächste Tor der Bahn; im Ziel die Zeit, zu der das Boot die Ziellinie kreuzte.</source>
        <translation>The next gate of the course; when finished, the time the boat crossed the finish line.</translation>
    </message>
    <message>
        <source>Distanz zum nächsten Punkt der Linie des nächsten Tors.</source>
        <translation>Distance to the nearest point of the next gate&apos;s line.</translation>
    </message>
    <message>
        <source>Distanz zum nächsten Tor plus die Schenkel von Tormitte zu Tormitte bis ins Ziel.</source>
        <translation>Distance to the next gate plus the legs from gate centre to gate centre to the finish.</translation>
    </message>
    <message>
        <source>Fahrt über Grund zwischen den beiden Meldungen um den gezeigten Moment.</source>
        <translation>Speed over ground between the two fixes around the shown moment.</translation>
    </message>
    <message>
        <source>Distanz zum Ziel minus die des Klassenersten (in km und Seemeilen).</source>
        <translation>Distance to the finish minus that of the class leader (in km and nautical miles).</translation>
    </message>
    <message>
        <source>Der Schenkel, auf dem das Boot segelt: vom zuletzt passierten Tor zum nächsten.</source>
        <translation>The leg the boat is sailing: from the gate passed last to the next one.</translation>
    </message>
    <message>
        <source>Velocity made good on course: Fahrt über Grund der letzten Minute (oder des letzten Meldeabstands, wenn länger) mal Kosinus des Winkels zwischen Kurs und Peilung zum nächsten Tor, in Knoten. Auf einer Kreuz oder einem Vorwindkurs im geschätzten Wind nennt der Tooltip der Zelle auch die VMG zum Wind.</source>
        <translation>Velocity made good on course: speed over ground of the last minute (or of the last fix interval, when longer) times the cosine of the angle between course and bearing to the next gate, in knots. On a beat or a run in the estimated wind the cell&apos;s tooltip also gives the VMG to the wind.</translation>
    </message>
    <message>
        <source>Durchschnittsfahrt: gesegelte Strecke entlang der Meldungen in der letzten Stunde, den letzten 4 oder 24 Stunden Regattazeit, geteilt durch diese Zeit (seit dem Start, wenn er kürzer zurückliegt), in Knoten.</source>
        <translation>Average speed: distance sailed along the fixes in the last hour, the last 4 or 24 hours of race time, divided by that time (since the start, when it is more recent), in knots.</translation>
    </message>
    <message>
        <source>Geschätzte Ankunft im Ziel: Distanz zum Ziel geteilt durch die in der letzten Stunde zum Ziel gutgemachte Fahrt (VMC der letzten Stunde).</source>
        <translation>Estimated arrival at the finish: distance to the finish divided by the speed made good towards the finish over the last hour (VMC of the last hour).</translation>
    </message>
    <message>
        <source>Abstand zum Klassenersten in Zeit: Abstand in Distanz geteilt durch die eigene VMC; ist der Erste schon im Ziel, zählt die Zeit seit seiner Ankunft dazu. Im Ziel: Unterschied der Zielzeiten.</source>
        <translation>Gap to the class leader in time: the gap in distance divided by the boat&apos;s own VMC; when the leader has finished, the time since its finish is added. Finished: difference of the finish times.</translation>
    </message>
    <message>
        <source>Alter der letzten Meldung im gezeigten Moment.</source>
        <translation>Age of the last fix at the shown moment.</translation>
    </message>
    <message>
        <source>Gesegelte Zeit vom Start der Regatta (ohne bekannte Startzeit: vom Kreuzen der Startlinie) bis zum Kreuzen der Ziellinie.</source>
        <translation>Elapsed time from the start of the race (without a known start time: from crossing the start line) to crossing the finish line.</translation>
    </message>
    <message>
        <source>Berechnete Zeit: Time-on-Time: Segelzeit mal Faktor; Time-on-Distance: Segelzeit minus Vergütung (s/sm) mal Bahnlänge von Tormitte zu Tormitte. Mit ≈ für Boote, die noch segeln: vorausberechnet aus der geschätzten Ankunft.</source>
        <translation>Corrected time: time-on-time: elapsed time times the factor; time-on-distance: elapsed time minus the allowance (s/nm) times the course length from gate centre to gate centre. Marked ≈ for boats still racing: projected from the estimated arrival.</translation>
    </message>
    <message>
        <source>vor dem Start</source>
        <translation>before the start</translation>
    </message>
    <message>
        <source>Kreuz: VMG zum Wind %1 kn</source>
        <translation>Beat: VMG to windward %1 kn</translation>
    </message>
    <message>
        <source>Vorwind: VMG vom Wind weg %1 kn</source>
        <translation>Run: VMG downwind %1 kn</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Eine neue Programmversion steht am Server zum Download bereit! </source>
        <translation>A new version of the program is ready for download on the server! </translation>
    </message>
    <message>
        <source>Möchten Sie diese nun herunterladen und installieren? </source>
        <translation>Would you like to download and install it now? </translation>
    </message>
    <message>
        <source>Ja</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>Nein</source>
        <translation>No</translation>
    </message>
    <message>
        <source>Velmaro Info</source>
        <translation>Velmaro Info</translation>
    </message>
    <message>
        <source>Beim Versuch das Update herunterzuladen gab es einen Fehler.
Probieren Sie es bitte später noch einmal.</source>
        <translation>An error occurred while trying to download the update.
Please try again later.</translation>
    </message>
    <message>
        <source>Teilnehmer</source>
        <translation>Participants</translation>
    </message>
    <message>
        <source>Einstellungen</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Rangliste</source>
        <translation>Leaderboard</translation>
    </message>
    <message>
        <source>&amp;Datei</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>Bilder aufzeichnen</source>
        <translation>Record frames</translation>
    </message>
    <message>
        <source>Nach Updates suchen...</source>
        <translation>Check for updates...</translation>
    </message>
    <message>
        <source>OpenStreetMap im Browser öffnen</source>
        <translation>Open OpenStreetMap in the browser</translation>
    </message>
    <message>
        <source>Als GPX exportieren...</source>
        <translation>Export as GPX...</translation>
    </message>
    <message>
        <source>&amp;Beenden</source>
        <translation>&amp;Quit</translation>
    </message>
    <message>
        <source>&amp;Wiedergabe</source>
        <translation>&amp;Playback</translation>
    </message>
    <message>
        <source>Flotte zeigen</source>
        <translation>Show fleet</translation>
    </message>
    <message>
        <source>&amp;Regatten</source>
        <translation>&amp;Races</translation>
    </message>
    <message>
        <source>&amp;Gates</source>
        <translation>&amp;Gates</translation>
    </message>
    <message>
        <source>Manöver</source>
        <translation>Manoeuvres</translation>
    </message>
    <message>
        <source>Nächstes Manöver</source>
        <translation>Next manoeuvre</translation>
    </message>
    <message>
        <source>Voriges Manöver</source>
        <translation>Previous manoeuvre</translation>
    </message>
    <message>
        <source>Video exportieren...</source>
        <translation>Export video...</translation>
    </message>
    <message>
        <source>Momente</source>
        <translation>Moments</translation>
    </message>
    <message>
        <source>Diagramme</source>
        <translation>Graphs</translation>
    </message>
    <message>
        <source>Vergütungen importieren...</source>
        <translation>Import ratings...</translation>
    </message>
</context>
<context>
    <name>ManoeuvrePanel</name>
    <message>
        <source>Winddaten (*.csv *.txt)</source>
        <translation>Wind data (*.csv *.txt)</translation>
    </message>
    <message>
        <source>Zeit</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>Art</source>
        <translation>Kind</translation>
    </message>
    <message>
        <source>Dauer</source>
        <translation>Duration</translation>
    </message>
    <message>
        <source>Verlust</source>
        <translation>Loss</translation>
    </message>
    <message>
        <source>Nr.</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>Boot</source>
        <translation>Boat</translation>
    </message>
    <message>
        <source>Wenden</source>
        <translation>Tacks</translation>
    </message>
    <message>
        <source>Halsen</source>
        <translation>Gybes</translation>
    </message>
    <message>
        <source>Winddatei...</source>
        <translation>Wind file...</translation>
    </message>
    <message>
        <source>geschätzt</source>
        <translation>estimated</translation>
    </message>
    <message>
        <source>fest</source>
        <translation>fixed</translation>
    </message>
    <message>
        <source>aus Datei</source>
        <translation>from a file</translation>
    </message>
    <message>
        <source>Woher der Wind kommt: aus den Wenden und Halsen der Flotte geschätzt, fest eingegeben oder aus einer Datei (Zeit; Richtung; Knoten)</source>
        <translation>Where the wind comes from: estimated from the tacks and gybes of the fleet, entered as a fixed value or from a file (time; direction; knots)</translation>
    </message>
    <message>
        <source>Winddatei laden</source>
        <translation>Load wind file</translation>
    </message>
    <message>
        <source>Wind:</source>
        <translation>Wind:</translation>
    </message>
    <message>
        <source>Ein Klick stellt die Zeit auf das Manöver.</source>
        <translation>A click sets the time to the manoeuvre.</translation>
    </message>
    <message>
        <source>Verlust: Meter gegenüber der Höhe, die das Boot vor jedem Manöver gut machte, über alle Manöver</source>
        <translation>Loss: metres against the ground the boat made good before each manoeuvre, over all manoeuvres</translation>
    </message>
    <message>
        <source>Alle Boote</source>
        <translation>All boats</translation>
    </message>
    <message>
        <source>Winddatei</source>
        <translation>Wind file</translation>
    </message>
    <message>
        <source>Die Datei %1 kann nicht gelesen werden.</source>
        <translation>Cannot read the file %1.</translation>
    </message>
    <message>
        <source>... und %1 weitere</source>
        <translation>... and %1 more</translation>
    </message>
    <message>
        <source>keine Zeile mit Winddaten</source>
        <translation>no line with wind data</translation>
    </message>
    <message>
        <source>Die Winddatei %1 wurde nicht übernommen:
%2</source>
        <translation>The wind file %1 was not taken:
%2</translation>
    </message>
    <message>
        <source>Wende</source>
        <translation>Tack</translation>
    </message>
    <message>
        <source>Halse</source>
        <translation>Gybe</translation>
    </message>
    <message>
        <source>Wind: unbekannt (zu wenige Wenden und Halsen)</source>
        <translation>Wind: unknown (too few tacks and gybes)</translation>
    </message>
    <message>
        <source>Wind aus %1° (%2)</source>
        <translation>Wind from %1° (%2)</translation>
    </message>
    <message>
        <source>, aus %1 Manövern von %2 Booten</source>
        <translation>, from %1 manoeuvres of %2 boats</translation>
    </message>
    <message>
        <source>Manöver von %1 %2</source>
        <translation>Manoeuvres of %1 %2</translation>
    </message>
    <message>
        <source>Kein Boot verfolgt</source>
        <translation>No boat followed</translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>%1 m</source>
        <translation>%1 m</translation>
    </message>
    <message>
        <source>Schenkel</source>
        <translation>Leg</translation>
    </message>
    <message>
        <source>je Schenkel (Wenden/Halsen)</source>
        <translation>per leg (tacks/gybes)</translation>
    </message>
    <message>
        <source>vor dem Start</source>
        <translation>before the start</translation>
    </message>
    <message>
        <source>%1: %2/%3</source>
        <translation>%1: %2/%3</translation>
    </message>
</context>
<context>
    <name>MomentLink</name>
    <message>
        <source>Das ist kein velmaro:-Link.</source>
        <translation>This is not a velmaro: link.</translation>
    </message>
    <message>
        <source>Der Link nennt keine Regatta (velmaro://race/EVENT/TASK).</source>
        <translation>The link names no race (velmaro://race/EVENT/TASK).</translation>
    </message>
    <message>
        <source>Der Link nennt keine gültige Zeit.</source>
        <translation>The link names no valid time.</translation>
    </message>
    <message>
        <source>Der Link nennt kein gültiges Boot.</source>
        <translation>The link names no valid boat.</translation>
    </message>
    <message>
        <source>Der Link nennt keinen gültigen Kartenmittelpunkt.</source>
        <translation>The link names no valid map centre.</translation>
    </message>
    <message>
        <source>Der Link nennt keine gültige Zoomstufe (0 bis %1).</source>
        <translation>The link names no valid zoom level (0 to %1).</translation>
    </message>
</context>
<context>
    <name>MomentPanel</name>
    <message>
        <source>Moment merken</source>
        <translation>Keep moment</translation>
    </message>
    <message>
        <source>Moment teilen</source>
        <translation>Share moment</translation>
    </message>
    <message>
        <source>Entfernen</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>Der Moment konnte nicht gespeichert werden: %1</source>
        <translation>The moment could not be stored: %1</translation>
    </message>
    <message>
        <source>Link kopiert: %1</source>
        <translation>Link copied: %1</translation>
    </message>
    <message>
        <source>Der Moment konnte nicht entfernt werden: %1</source>
        <translation>The moment could not be removed: %1</translation>
    </message>
</context>
<context>
    <name>RaceAnalysis</name>
    <message>
        <source>eingegeben</source>
        <translation>entered</translation>
    </message>
    <message>
        <source>Datei</source>
        <translation>file</translation>
    </message>
    <message>
        <source>geschätzt</source>
        <translation>estimated</translation>
    </message>
    <message>
        <source>Zeile %1: %2</source>
        <translation>Line %1: %2</translation>
    </message>
    <message>
        <source>drei Felder erwartet (Zeit; Richtung; Geschwindigkeit)</source>
        <translation>three fields expected (time; direction; speed)</translation>
    </message>
    <message>
        <source>keine Zeit</source>
        <translation>no time</translation>
    </message>
    <message>
        <source>Richtung nicht zwischen 0 und 360 Grad</source>
        <translation>direction not between 0 and 360 degrees</translation>
    </message>
    <message>
        <source>Geschwindigkeit nicht zwischen 0 und 200 Knoten</source>
        <translation>speed not between 0 and 200 knots</translation>
    </message>
    <message>
        <source>Zeit nicht nach der vorigen Zeile</source>
        <translation>time not after the previous line</translation>
    </message>
</context>
<context>
    <name>RaceList</name>
    <message>
        <source>Keine neuen Regatten auf dem Server.</source>
        <translation>No new races on the server.</translation>
    </message>
    <message>
        <source>1 neue Regatta vom Server geholt.</source>
        <translation>Fetched 1 new race from the server.</translation>
    </message>
    <message>
        <source>%1 neue Regatten vom Server geholt.</source>
        <translation>Fetched %1 new races from the server.</translation>
    </message>
    <message>
        <source>Der Server bietet keine Regattaliste an.</source>
        <translation>The server offers no race list.</translation>
    </message>
    <message>
        <source>Die Regattaliste konnte nicht geholt werden: %1</source>
        <translation>Could not fetch the race list: %1</translation>
    </message>
</context>
<context>
    <name>RaceMenu</name>
    <message>
        <source>„%1“</source>
        <translation>“%1”</translation>
    </message>
    <message>
        <source>Regatta hinzufügen...</source>
        <translation>Add race...</translation>
    </message>
    <message>
        <source>Regatten vom Server holen</source>
        <translation>Fetch races from the server</translation>
    </message>
    <message>
        <source>Regatta entfernen...</source>
        <translation>Remove race...</translation>
    </message>
    <message>
        <source>Regatta %1 hinzugefügt.</source>
        <translation>Race %1 added.</translation>
    </message>
    <message>
        <source>Regattaliste wird vom Server geholt...</source>
        <translation>Fetching the race list from the server...</translation>
    </message>
    <message>
        <source>Die Regatten konnten nicht gespeichert werden: %1</source>
        <translation>Could not store the races: %1</translation>
    </message>
    <message>
        <source>Es gibt keine hinzugefügte Regatta, die entfernt werden kann.</source>
        <translation>There is no added race that could be removed.</translation>
    </message>
    <message>
        <source>Regatta entfernen</source>
        <translation>Remove race</translation>
    </message>
    <message>
        <source>Welche Regatta soll entfernt werden?</source>
        <translation>Which race should be removed?</translation>
    </message>
    <message>
        <source>Weiter</source>
        <translation>Next</translation>
    </message>
    <message>
        <source>Abbrechen</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Soll die Regatta %1 mit allen Booten und Positionen entfernt werden?</source>
        <translation>Remove the race %1 with all its boats and positions?</translation>
    </message>
    <message>
        <source>Entfernen</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>Die mitgelieferten Regatten können nicht entfernt werden.</source>
        <translation>The built-in races cannot be removed.</translation>
    </message>
    <message>
        <source>Die Regatta %1 konnte nicht entfernt werden.
%2</source>
        <translation>Could not remove the race %1.
%2</translation>
    </message>
    <message>
        <source>Regatta %1 entfernt.</source>
        <translation>Race %1 removed.</translation>
    </message>
    <message>
        <source>Regatta aus Dateien importieren...</source>
        <translation>Import race from files...</translation>
    </message>
    <message>
        <source>Regatta aus Dateien importieren</source>
        <translation>Import race from files</translation>
    </message>
    <message>
        <source>GPX- und NMEA-Dateien (*.gpx *.nmea *.nma *.log *.txt);;Alle Dateien (*)</source>
        <translation>GPX and NMEA files (*.gpx *.nmea *.nma *.log *.txt);;All files (*)</translation>
    </message>
    <message>
        <source>Regatta %1 importiert.</source>
        <translation>Race %1 imported.</translation>
    </message>
</context>
<context>
    <name>RaceStore</name>
    <message>
        <source>Bitte einen Namen für die Regatta eingeben.</source>
        <translation>Please enter a name for the race.</translation>
    </message>
    <message>
        <source>Die Eventnummer muss eine positive ganze Zahl sein.</source>
        <translation>The event number must be a positive whole number.</translation>
    </message>
    <message>
        <source>Die Tasknummer muss eine positive ganze Zahl sein.</source>
        <translation>The task number must be a positive whole number.</translation>
    </message>
    <message>
        <source>Die Eventnummer ist zu groß (höchstens %1).</source>
        <translation>The event number is too large (at most %1).</translation>
    </message>
    <message>
        <source>Die Tasknummer ist zu groß (höchstens %1).</source>
        <translation>The task number is too large (at most %1).</translation>
    </message>
    <message>
        <source>Das Ende muss nach dem Start liegen.</source>
        <translation>The end must come after the start.</translation>
    </message>
    <message>
        <source>Start und Ende müssen zwischen 1970 und 2038 liegen.</source>
        <translation>Start and end must lie between 1970 and 2038.</translation>
    </message>
    <message>
        <source>Eine Regatta mit Eventnummer %1 und Tasknummer %2 gibt es schon.</source>
        <translation>A race with event number %1 and task number %2 already exists.</translation>
    </message>
    <message>
        <source>Eventnummern ab %1 sind aus Dateien importierten Regatten vorbehalten.</source>
        <translation>Event numbers from %1 on are reserved for races imported from files.</translation>
    </message>
</context>
<context>
    <name>RatingDialog</name>
    <message>
        <source>Vergütung: %1</source>
        <translation>Rating: %1</translation>
    </message>
    <message>
        <source>keine</source>
        <translation>none</translation>
    </message>
    <message>
        <source>System</source>
        <translation>System</translation>
    </message>
    <message>
        <source>Wert</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>Time-on-Time: berechnete Zeit = Segelzeit × Faktor.
Time-on-Distance: berechnete Zeit = Segelzeit − Vergütung × Bahnlänge in Seemeilen.</source>
        <translation>Time-on-time: corrected time = elapsed time × factor.
Time-on-distance: corrected time = elapsed time − allowance × course length in nautical miles.</translation>
    </message>
    <message>
        <source>s/sm</source>
        <translation>s/nm</translation>
    </message>
    <message>
        <source>Faktor</source>
        <translation>factor</translation>
    </message>
</context>
<context>
    <name>RatingFlow</name>
    <message>
        <source>Vergütungen importieren</source>
        <translation>Import ratings</translation>
    </message>
    <message>
        <source>CSV-Dateien (*.csv *.txt);;Alle Dateien (*)</source>
        <translation>CSV files (*.csv *.txt);;All files (*)</translation>
    </message>
    <message>
        <source>%1 kann nicht gelesen werden:
%2</source>
        <translation>Cannot read %1:
%2</translation>
    </message>
    <message>
        <source>%1 ist zu groß für eine Vergütungsdatei.</source>
        <translation>%1 is too large for a rating file.</translation>
    </message>
    <message>
        <source>Nicht übernommene Zeilen:</source>
        <translation>Lines not taken:</translation>
    </message>
    <message>
        <source>Vergütungen übernommen: %1</source>
        <translation>Ratings taken: %1</translation>
    </message>
    <message>
        <source>Vergütungen</source>
        <translation>Ratings</translation>
    </message>
    <message>
        <source>Die Vergütungen konnten nicht gespeichert werden:
%1</source>
        <translation>Could not store the ratings:
%1</translation>
    </message>
</context>
<context>
    <name>RegattaDialog</name>
    <message>
        <source>Regatta hinzufügen</source>
        <translation>Add race</translation>
    </message>
    <message>
        <source>z. B. 30</source>
        <translation>e.g. 30</translation>
    </message>
    <message>
        <source>z. B. 300</source>
        <translation>e.g. 300</translation>
    </message>
    <message>
        <source>Abbrechen</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>Name:</translation>
    </message>
    <message>
        <source>Eventnummer:</source>
        <translation>Event number:</translation>
    </message>
    <message>
        <source>Tasknummer:</source>
        <translation>Task number:</translation>
    </message>
    <message>
        <source>Start:</source>
        <translation>Start:</translation>
    </message>
    <message>
        <source>Ende:</source>
        <translation>End:</translation>
    </message>
    <message>
        <source>Die Regatta konnte nicht gespeichert werden: %1</source>
        <translation>Could not store the race: %1</translation>
    </message>
</context>
<context>
    <name>ReplayClock</name>
    <message>
        <source>Echtzeit</source>
        <translation>Real time</translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation>%1 s</translation>
    </message>
</context>
<context>
    <name>ReplayController</name>
    <message>
        <source>Tempo:</source>
        <translation>Speed:</translation>
    </message>
    <message>
        <source>Animation starten</source>
        <translation>Start the animation</translation>
    </message>
    <message>
        <source>Rennzeit je Animationsschritt</source>
        <translation>Race time per animation step</translation>
    </message>
    <message>
        <source>Abspielen/Anhalten</source>
        <translation>Play/Pause</translation>
    </message>
    <message>
        <source>Schritt zurück</source>
        <translation>Step back</translation>
    </message>
    <message>
        <source>Schritt vor</source>
        <translation>Step forward</translation>
    </message>
    <message>
        <source>Zum Anfang</source>
        <translation>To the start</translation>
    </message>
    <message>
        <source>Zum Ende</source>
        <translation>To the end</translation>
    </message>
    <message>
        <source>Animation beenden</source>
        <translation>Stop the animation</translation>
    </message>
</context>
<context>
    <name>SettingsPage</name>
    <message>
        <source>Netzwerk</source>
        <translation>Network</translation>
    </message>
    <message>
        <source>Letzte Abfrage der Postionsdaten</source>
        <translation>Last positions fetch</translation>
    </message>
    <message>
        <source>Positionsdaten automatisch herunterladen</source>
        <translation>Download positions automatically</translation>
    </message>
    <message>
        <source>Fehlende Karten automatisch herunterladen</source>
        <translation>Download missing maps automatically</translation>
    </message>
    <message>
        <source>Beim Start nach Programmupdates suchen</source>
        <translation>Check for program updates at start</translation>
    </message>
    <message>
        <source>Boote</source>
        <translation>Boats</translation>
    </message>
    <message>
        <source>komplette Tracks anzeigen</source>
        <translation>Show complete tracks</translation>
    </message>
    <message>
        <source>Segelnummer neben der Geschwindigkeit</source>
        <translation>Sail number beside the speed</translation>
    </message>
    <message>
        <source>Sprache</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>(gilt ab dem nächsten Start)</source>
        <translation>(applies from the next start)</translation>
    </message>
    <message>
        <source>Systemsprache</source>
        <translation>System language</translation>
    </message>
    <message>
        <source>Laylines zur nächsten Marke (verfolgtes Boot)</source>
        <translation>Laylines to the next mark (followed boat)</translation>
    </message>
    <message>
        <source>Kartencache leeren</source>
        <translation>Clear the map cache</translation>
    </message>
    <message>
        <source>Karte</source>
        <translation>Map</translation>
    </message>
    <message>
        <source>Seezeichen (OpenSeaMap) anzeigen</source>
        <translation>Show seamarks (OpenSeaMap)</translation>
    </message>
    <message>
        <source>Kartencache (MB)</source>
        <translation>Map cache (MB)</translation>
    </message>
    <message>
        <source>Laufende Regatta jede Sekunde abfragen</source>
        <translation>Poll a running race every second</translation>
    </message>
</context>
<context>
    <name>TrackImport</name>
    <message>
        <source>Zeit außerhalb von 1970 bis 2038 (Zeile %1)</source>
        <translation>time outside 1970 to 2038 (line %1)</translation>
    </message>
    <message>
        <source>Zeit vor der vorigen (Zeile %1)</source>
        <translation>time earlier than the one before (line %1)</translation>
    </message>
    <message>
        <source>Prüfsumme fehlt oder ist falsch (Zeile %1)</source>
        <translation>checksum missing or wrong (line %1)</translation>
    </message>
    <message>
        <source>kein NMEA-Satz (Zeile %1)</source>
        <translation>not an NMEA sentence (line %1)</translation>
    </message>
    <message>
        <source>ungültige Position (Zeile %1)</source>
        <translation>invalid position (line %1)</translation>
    </message>
    <message>
        <source>ungültige Zeit oder ungültiges Datum (Zeile %1)</source>
        <translation>invalid time or date (line %1)</translation>
    </message>
    <message>
        <source>nur GGA-Sätze ohne Datum; RMC-Sätze werden gebraucht</source>
        <translation>only GGA sentences, which carry no date; RMC sentences are needed</translation>
    </message>
    <message>
        <source>keine RMC-Sätze</source>
        <translation>no RMC sentences</translation>
    </message>
    <message>
        <source>kann nicht gelesen werden: %1</source>
        <translation>cannot be read: %1</translation>
    </message>
    <message>
        <source>kein GPX 1.0 oder 1.1 (Element „%1“, Namensraum „%2“)</source>
        <translation>not GPX 1.0 or 1.1 (element “%1”, namespace “%2”)</translation>
    </message>
    <message>
        <source>keine Zeitstempel</source>
        <translation>no time stamps</translation>
    </message>
    <message>
        <source>keine Trackpunkte</source>
        <translation>no track points</translation>
    </message>
    <message>
        <source>kein gültiges XML (%1, Zeile %2)</source>
        <translation>not valid XML (%1, line %2)</translation>
    </message>
    <message>
        <source>Punkt ohne Zeitstempel (Zeile %1)</source>
        <translation>point without a time stamp (line %1)</translation>
    </message>
    <message>
        <source>ungültige Zeit „%1“ (Zeile %2)</source>
        <translation>invalid time “%1” (line %2)</translation>
    </message>
    <message>
        <source>Marke %1</source>
        <translation>Mark %1</translation>
    </message>
    <message>
        <source>%1: %2 von %3 Punkten ausgelassen (%4)</source>
        <translation>%1: %2 of %3 points left out (%4)</translation>
    </message>
</context>
<context>
    <name>TrackingClient</name>
    <message>
        <source>Regatta wird geladen: %1 von %2 Booten, %3 Positionen erhalten</source>
        <translation>Loading the race: %1 of %2 boats, %3 positions received</translation>
    </message>
    <message>
        <source>Die Datenbank ist von einem anderen Programm gesperrt; die neuen Daten werden später noch einmal geholt.</source>
        <translation>The database is locked by another program; the new data will be fetched again later.</translation>
    </message>
    <message>
        <source>Der Datenträger ist voll; die neuen Daten konnten nicht gespeichert werden.</source>
        <translation>The disk is full; the new data could not be stored.</translation>
    </message>
    <message>
        <source>Die neuen Daten konnten nicht gespeichert werden: %1</source>
        <translation>Could not store the new data: %1</translation>
    </message>
</context>
<context>
    <name>TransferLamp</name>
    <message>
        <source>Übertragung stoppen</source>
        <translation>Stop the transfer</translation>
    </message>
    <message>
        <source>neueste Positionsdaten holen</source>
        <translation>Fetch the newest positions</translation>
    </message>
</context>
<context>
    <name>VideoEncoder</name>
    <message>
        <source>Diese FFmpeg-Version hat keinen H.264-Kodierer (libx264).</source>
        <translation>This FFmpeg build has no H.264 encoder (libx264).</translation>
    </message>
    <message>
        <source>%1 kann nicht geschrieben werden: %2</source>
        <translation>Cannot write %1: %2</translation>
    </message>
    <message>
        <source>MP4 wird nicht unterstützt</source>
        <translation>MP4 is not supported</translation>
    </message>
    <message>
        <source>Kein Speicher für das Video</source>
        <translation>Out of memory for the video</translation>
    </message>
    <message>
        <source>Der H.264-Kodierer startet nicht</source>
        <translation>The H.264 encoder does not start</translation>
    </message>
    <message>
        <source>Das Video kann nicht geschrieben werden</source>
        <translation>The video cannot be written</translation>
    </message>
    <message>
        <source>Das Bild kann nicht kodiert werden</source>
        <translation>The frame cannot be encoded</translation>
    </message>
    <message>
        <source>Das Video ist nicht geöffnet</source>
        <translation>The video is not open</translation>
    </message>
    <message>
        <source>Das Video hat kein Bild</source>
        <translation>The video has no frame</translation>
    </message>
</context>
<context>
    <name>VideoExport</name>
    <message>
        <source>Zeitraum oder Tempo passen nicht für ein Video.</source>
        <translation>The span or the speed does not make a video.</translation>
    </message>
    <message>
        <source>Die Regatta hat keine gespeicherten Positionen.</source>
        <translation>The race has no stored positions.</translation>
    </message>
</context>
<context>
    <name>VideoExportDialog</name>
    <message>
        <source>Video exportieren</source>
        <translation>Export video</translation>
    </message>
    <message>
        <source>%1 s Rennzeit je Sekunde</source>
        <translation>%1 s of race per second</translation>
    </message>
    <message>
        <source>%1 min Rennzeit je Sekunde</source>
        <translation>%1 min of race per second</translation>
    </message>
    <message>
        <source>Kartenansicht (%1 × %2)</source>
        <translation>Map view (%1 × %2)</translation>
    </message>
    <message>
        <source>Von:</source>
        <translation>From:</translation>
    </message>
    <message>
        <source>Bis:</source>
        <translation>To:</translation>
    </message>
    <message>
        <source>Tempo:</source>
        <translation>Speed:</translation>
    </message>
    <message>
        <source>Größe:</source>
        <translation>Size:</translation>
    </message>
    <message>
        <source>Länge des Videos: %1:%2 min</source>
        <translation>Length of the video: %1:%2 min</translation>
    </message>
    <message>
        <source>Das Ende muss nach dem Anfang liegen.</source>
        <translation>The end must come after the start.</translation>
    </message>
    <message>
        <source>Das Video würde länger als eine Stunde: bitte ein höheres Tempo wählen.</source>
        <translation>The video would last over an hour: please choose a higher speed.</translation>
    </message>
</context>
<context>
    <name>VideoExportFlow</name>
    <message>
        <source>Video exportieren</source>
        <translation>Export video</translation>
    </message>
    <message>
        <source>Die Regatta hat keine Positionen für ein Video.</source>
        <translation>The race has no positions for a video.</translation>
    </message>
    <message>
        <source>MP4-Videos (*.mp4)</source>
        <translation>MP4 videos (*.mp4)</translation>
    </message>
    <message>
        <source>Video wird geschrieben...</source>
        <translation>Writing the video...</translation>
    </message>
    <message>
        <source>Abbrechen</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Video nach %1 exportiert</source>
        <translation>Video exported to %1</translation>
    </message>
    <message>
        <source>Videoexport abgebrochen</source>
        <translation>Video export cancelled</translation>
    </message>
</context>
<context>
    <name>VuFeed</name>
    <message>
        <source>Der Update-Feed kam verschlüsselt (https), das Update soll aber unverschlüsselt von %1 kommen. Es wird nicht angeboten.</source>
        <translation>The update feed came encrypted (https), but the update would come unencrypted from %1. It is not offered.</translation>
    </message>
    <message>
        <source>Das Update soll unverschlüsselt von %1 kommen, und der Update-Feed nennt keine Prüfsumme (sha256). Es wird nicht angeboten.</source>
        <translation>The update would come unencrypted from %1, and the update feed names no checksum (sha256). It is not offered.</translation>
    </message>
</context>
<context>
    <name>VuUpdateDownloadProgress</name>
    <message>
        <source>Abbrechen</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Velmaro Update</source>
        <translation>Velmaro Update</translation>
    </message>
    <message>
        <source>Downloading Update...</source>
        <translation>Downloading Update...</translation>
    </message>
</context>
<context>
    <name>VuUpdateWindow</name>
    <message>
        <source>Velmaro Update</source>
        <translation>Velmaro Update</translation>
    </message>
    <message>
        <source>Eine neue Version von %1 steht zur Verfügung!</source>
        <translation>A new version of %1 is available!</translation>
    </message>
    <message>
        <source>Sie haben die Version xx installiert.</source>
        <translation>You have version xx installed.</translation>
    </message>
    <message>
        <source>überspringen</source>
        <translation>Skip</translation>
    </message>
    <message>
        <source>später erinnern</source>
        <translation>Remind me later</translation>
    </message>
    <message>
        <source>jetzt installieren</source>
        <translation>Install now</translation>
    </message>
    <message>
        <source>Sie haben die Version %1 installiert.</source>
        <translation>You have version %1 installed.</translation>
    </message>
    <message>
        <source> steht zum Download bereit.</source>
        <translation> is ready for download.</translation>
    </message>
</context>
<context>
    <name>VuUpdater</name>
    <message>
        <source>QApplication::organizationName is not set. Please do that.</source>
        <translation>QApplication::organizationName is not set. Please do that.</translation>
    </message>
    <message>
        <source>QApplication::organizationDomain is not set. Please do that.</source>
        <translation>QApplication::organizationDomain is not set. Please do that.</translation>
    </message>
    <message>
        <source>QApplication::applicationName is not set. Please do that.</source>
        <translation>QApplication::applicationName is not set. Please do that.</translation>
    </message>
    <message>
        <source>QApplication::applicationVersion is not set. Please do that.</source>
        <translation>QApplication::applicationVersion is not set. Please do that.</translation>
    </message>
    <message>
        <source>Too many redirects</source>
        <translation>Too many redirects</translation>
    </message>
    <message>
        <source>Redirect to an unsupported address %1</source>
        <translation>Redirect to an unsupported address %1</translation>
    </message>
    <message>
        <source>Redirect from https to an insecure address %1</source>
        <translation>Redirect from https to an insecure address %1</translation>
    </message>
    <message>
        <source>Feed download failed: %1.</source>
        <translation>Feed download failed: %1.</translation>
    </message>
    <message>
        <source>Feed parsing failed: %1 %2.</source>
        <translation>Feed parsing failed: %1 %2.</translation>
    </message>
    <message>
        <source>Feed error: &quot;release notes&quot; link is empty</source>
        <translation>Feed error: &quot;release notes&quot; link is empty</translation>
    </message>
    <message>
        <source>Feed error: invalid &quot;release notes&quot; link</source>
        <translation>Feed error: invalid &quot;release notes&quot; link</translation>
    </message>
    <message>
        <source>Feed error: invalid &quot;enclosure&quot; with the download link</source>
        <translation>Feed error: invalid &quot;enclosure&quot; with the download link</translation>
    </message>
    <message>
        <source>No updates were found.</source>
        <translation>No updates were found.</translation>
    </message>
    <message>
        <source>RelNotes download failed: %1.</source>
        <translation>RelNotes download failed: %1.</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>Information</translation>
    </message>
    <message>
        <source>Der Ordner %1 für das Update kann nicht sicher benutzt werden.</source>
        <translation>The folder %1 for the update cannot be used safely.</translation>
    </message>
    <message>
        <source>Download von %1 Version %2</source>
        <translation>Downloading %1 version %2</translation>
    </message>
    <message>
        <source>Das geladene Update ist größer als angekündigt (%1 Bytes). Es wird nicht installiert.</source>
        <translation>The downloaded update is larger than announced (%1 bytes). It is not installed.</translation>
    </message>
    <message>
        <source>Das Update konnte nicht geladen werden: %1</source>
        <translation>Could not download the update: %1</translation>
    </message>
    <message>
        <source>Das geladene Update hat %1 statt %2 Bytes. Es wird nicht installiert.</source>
        <translation>The downloaded update has %1 bytes instead of %2. It is not installed.</translation>
    </message>
    <message>
        <source>Die Prüfsumme des geladenen Updates stimmt nicht. Es wird nicht installiert.</source>
        <translation>The checksum of the downloaded update does not match. It is not installed.</translation>
    </message>
    <message>
        <source>Das Update konnte nicht gespeichert werden: %1</source>
        <translation>Could not save the update: %1</translation>
    </message>
    <message>
        <source>Das Update %1 konnte nicht gestartet werden.</source>
        <translation>Could not start the update %1.</translation>
    </message>
    <message>
        <source>Velmaro Update</source>
        <translation>Velmaro Update</translation>
    </message>
    <message>
        <source>Das Update wird installiert; %1 wird dafür jetzt beendet.</source>
        <translation>The update is being installed; %1 quits now for it.</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>%1 %2 Initialisierung</source>
        <translation>%1 %2 starting up</translation>
    </message>
    <message>
        <source>Cannot open database</source>
        <translation>Cannot open database</translation>
    </message>
    <message>
        <source>Unable to establish a database connection to %1
This example needs SQLite support. Please read the Qt SQL driver documentation for information how to build it.

Click Cancel to exit.</source>
        <translation>Unable to establish a database connection to %1
This example needs SQLite support. Please read the Qt SQL driver documentation for information how to build it.

Click Cancel to exit.</translation>
    </message>
    <message>
        <source>Link öffnen</source>
        <translation>Open link</translation>
    </message>
    <message>
        <source>Der Link kann nicht geöffnet werden.</source>
        <translation>The link cannot be opened.</translation>
    </message>
    <message>
        <source>Die Regatta %1/%2 ist nicht bekannt. Vielleicht hilft „Regatten vom Server holen“.</source>
        <translation>The race %1/%2 is not known. “Fetch races from the server” may help.</translation>
    </message>
</context>
</TS>

#pragma once

// The texts that the program's operations write into the window and its message boxes.
namespace segno::texts {

inline constexpr const char* kAssign = "Assegna:";
inline constexpr const char* kRecognised = "Carattere Riconosciuto:";
inline constexpr const char* kTrained = "Addestramento Neuroni completato";
inline constexpr const char* kAnalysis = "Analisi ...";
inline constexpr const char* kNotRecognised = "Carattere non riconosciuto";

inline constexpr const char* kTypeCharacter = "Digitare il carattere da Apprendere";
inline constexpr const char* kNoNeurons = "E' effettuare inserire almeno un carattere!";
inline constexpr const char* kTrainFirst = "E' necessario prima addestrare la rete!";
inline constexpr const char* kConfirmSave = "Aggiornare supply.txt?";

inline constexpr const char* kMemoryFull = "Memoria piena: al massimo 22 campioni";
inline constexpr const char* kTooManyNeurons = "Troppi caratteri: al massimo 21 neuroni";
inline constexpr const char* kTrainingOverflow = "Addestramento interrotto: peso oltre i 16 bit";
inline constexpr const char* kRecognitionOverflow =
    "Riconoscimento interrotto: valore oltre i 16 bit";

inline constexpr const char* kCannotLoad = "Impossibile caricare supply.txt: ";
inline constexpr const char* kCannotSave = "Impossibile salvare supply.txt: ";

// Reasons that follow kCannotLoad or kCannotSave; the reader adds where it stopped.
inline constexpr const char* kNoProgramFolder = "cartella del programma non trovata";
inline constexpr const char* kFileUnreadable = "file mancante o illeggibile";
inline constexpr const char* kNotRegularFile = "non è un file regolare";
inline constexpr const char* kFileTooLarge = "file troppo grande";
inline constexpr const char* kFileIncomplete = "file incompleto";
inline constexpr const char* kInvalidValue = "valore non valido";
inline constexpr const char* kOverMaxNeurons = "più di 21 neuroni";
inline constexpr const char* kUnclosedQuote = "virgolette non chiuse";
inline constexpr const char* kTextAfterQuote = "testo dopo le virgolette";
inline constexpr const char* kUnrepresentableBefore = "il carattere «";
inline constexpr const char* kUnrepresentableAfter = "» non è rappresentabile";
inline constexpr const char* kSupplyIsFolder = "supply.txt è una cartella";
inline constexpr const char* kWriteProtected = "file protetto da scrittura";
inline constexpr const char* kFolderNotWritable = "cartella non scrivibile";
inline constexpr const char* kDiskFull = "disco pieno";
inline constexpr const char* kReadOnlyFileSystem = "file system di sola lettura";
inline constexpr const char* kWriteFailed = "scrittura non riuscita";  // then the system's words
inline constexpr const char* kFileInUse = "file in uso da un altro programma";

// Said when a SAVE into the file itself stops after its first byte: the file then holds the
// new samples, or LOAD refuses it; never the old ones, never a mixture.
inline constexpr const char* kWriteInterrupted =
    "scrittura interrotta a metà; supply.txt contiene i nuovi campioni, oppure LOAD lo rifiuterà "
    "finché un SAVE non riesce";

// Said after a SAVE that replaced the file, when the folder could not be synced to the disk.
inline constexpr const char* kSavedNotSynced =
    "supply.txt salvato, ma la cartella non è stata sincronizzata sul disco";

}  // namespace segno::texts

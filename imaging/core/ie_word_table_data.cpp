// The words of the word table, one array per language in word order (UTF-8). Each language's own
// translator's choices stand where they differ from the English word; "Rate" (word 123) is kept in
// English where the language's dialogs always said so. Polish has no word 123.
#include "imaging/core/ie_word_table_data.h"

#include "imaging/core/ie_word_table.h"

namespace {

using TWords = const char* const[kIEWordCount];

constexpr TWords kEnglish = {
    "Preview", "Original", "Result", "OK", "Cancel", "Lock preview", "Copy Result to Original", "Contrast",
    "Brightness", "Hue",  // 0
    "Saturation", "Value", "Base color", "New color", "Luminosity", "Red", "Green", "Blue", "Filter values",
    "Presets",  // 10
    "Divisor", "Load", "Save", "Equalization", "Threshold", "Equalize", "Histogram", "Gray", "Light", "Left",  // 20
    "Top", "Width", "Height", "Color", "Original image quantity", "Lens", "Refraction", "Parameters Preview",
    "Quality", "DCT method",  // 30
    "Smoothing factor", "Gray scale", "Optimal Huffman", "Original size", "Compressed size", "Advanced",
    "Progressive", "Compression", "Image index", "Photometric",  // 40
    "Scanned document info", "Name", "Description", "Page name", "Page number", "of", "Horiz. Position (inch)",
    "Vert. Position (inch)", "Colors", "Transparent",  // 50
    "Transparent color", "Interlaced", "Background", "Horiz. Position", "Vert. Position", "Delay time", "Filter",
    "Wave", "Amplitude", "Wave length",  // 60
    "Phase", "Reflective", "User filter", "Morphing filters", "Window size", "Maximum", "Minimum", "Opening",
    "Closing", "Rotate",  // 70
    "Flip", "Horizontal", "Vertical", "Frequency domain image", "Select the region to clean", "Clear", "Reset",
    "Animate", "Load filter", "Save filter",  // 80
    "Bump map", "Print", "Margins", "inches", "Right", "Bottom", "Position", "Size", "Normal", "Fit to page",  // 90
    "Stretch to page", "Specified size", "Gamma correction", "Value", "Print Setup", "Left Margin", "Top Margin",
    "Right Margin", "Bottom Margin", "Location/size",  // 100
    "Top Left", "Top Center", "Top Right", "Center Left", "Center", "Center Right", "Bottom Left", "Bottom Center",
    "Bottom Right", "Close",  // 110
    "Apply", "Measure Units", "Units", "Rate", "All graphics", "Video for Windows", "File", "Mem",
    "Automatically updates your preview with the changes you have selected", "Print All",  // 120
    "Print Selected", "Common Graphic Files", "All Files", "HSV", "HSL", "RGB", "FFT", "Sharpen", "Channels",
    "pixel",  // 130
    "frames", "bit", "byte", "dpi", "KB", "Fit",  // 140
};

constexpr TWords kItalian = {
    "Anteprima", "Originale", "Risultato", "OK", "Annulla", "Blocca anteprima", "Copia risultato nell'originale",
    "Contrasto", "Luminosità", "Tonalità",  // 0
    "Saturazione", "Valore", "Colore di base", "Nuovo colore", "Luminanza", "Rosso", "Verde", "Blu", "Valori del filtro",
    "Predefiniti",  // 10
    "Divisore", "Carica", "Salva", "Equalizzazione", "Soglia", "Equalizza", "Istogramma", "Grigio", "Luce",
    "Sinistra",  // 20
    "Alto", "Larghezza", "Altezza", "Colore", "Quantità immagine originale", "Lente", "Rifrazione",
    "Anteprima parametri", "Qualità", "Metodo DCT",  // 30
    "Fattore di smussatura", "Scala di grigi", "Huffman ottimizzato", "Dimensione originale", "Dimensione compressa",
    "Avanzate", "Progressivo", "Compressione", "Indice immagine", "Fotometria",  // 40
    "Informazioni documento acquisito", "Nome", "Descrizione", "Nome pagina", "Numero pagina", "di",
    "Posizione orizz. (pollici)", "Posizione vert. (pollici)", "Colori", "Trasparente",  // 50
    "Colore trasparente", "Interlacciato", "Sfondo", "Posizione orizz.", "Posizione vert.", "Tempo di ritardo",
    "Filtro", "Onda", "Ampiezza", "Lunghezza d'onda",  // 60
    "Fase", "Riflessione", "Filtro utente", "Filtri morfologici", "Dimensione finestra", "Massimo", "Minimo",
    "Apertura", "Chiusura", "Ruota",  // 70
    "Capovolgi", "Orizzontale", "Verticale", "Immagine nel dominio delle frequenze", "Seleziona la regione da pulire",
    "Cancella", "Reimposta", "Anima", "Carica filtro", "Salva filtro",  // 80
    "Mappa di rilievo", "Stampa", "Margini", "pollici", "Destra", "Basso", "Posizione", "Dimensione", "Normale",
    "Adatta alla pagina",  // 90
    "Estendi alla pagina", "Dimensione specificata", "Correzione gamma", "Valore", "Imposta stampa",
    "Margine sinistro", "Margine superiore", "Margine destro", "Margine inferiore", "Posizione/dimensione",  // 100
    "In alto a sinistra", "In alto al centro", "In alto a destra", "Al centro a sinistra", "Al centro",
    "Al centro a destra", "In basso a sinistra", "In basso al centro", "In basso a destra", "Chiudi",  // 110
    "Applica", "Unità di misura", "Unità", "Qualità", "Tutti i formati grafici", "Video for Windows", "File",
    "Memoria", "Aggiorna automaticamente l'anteprima con le modifiche selezionate", "Stampa tutto",  // 120
    "Stampa selezionate", "File grafici comuni", "Tutti i file", "HSV", "HSL", "RGB", "FFT", "Nitidezza", "Canali",
    "pixel",  // 130
    "fotogrammi", "bit", "byte", "dpi", "KB", "Adatta",  // 140
};

constexpr TWords kGerman = {
    "Vorschau", "Original", "Ergebnis", "OK", "Abbrechen", "Vorschau sperren", "Ergebnis ins Original kopieren",
    "Kontrast", "Helligkeit", "Farbton",  // 0
    "Sättigung", "Wert", "Grundfarbe", "Neue Farbe", "Luminanz", "Rot", "Grün", "Blau", "Filterwerte",
    "Voreinstellungen",  // 10
    "Divisor", "Laden", "Speichern", "Ausgleich", "Schwellenwert", "Ausgleichen", "Histogramm", "Grau", "Licht",
    "Links",  // 20
    "Oben", "Breite", "Höhe", "Farbe", "Anteil des Originalbilds", "Linse", "Brechung", "Parametervorschau",
    "Qualität", "DCT-Verfahren",  // 30
    "Glättungsfaktor", "Graustufen", "Optimiertes Huffman", "Originalgröße", "Komprimierte Größe", "Erweitert",
    "Progressiv", "Komprimierung", "Bildindex", "Photometrie",  // 40
    "Angaben zum gescannten Dokument", "Name", "Beschreibung", "Seitenname", "Seitennummer", "von",
    "Horiz. Position (Zoll)", "Vert. Position (Zoll)", "Farben", "Transparent",  // 50
    "Transparente Farbe", "Interlaced", "Hintergrund", "Horiz. Position", "Vert. Position", "Verzögerung", "Filter",
    "Welle", "Amplitude", "Wellenlänge",  // 60
    "Phase", "Spiegelnd", "Benutzerfilter", "Morphologische Filter", "Fenstergröße", "Maximum", "Minimum",
    "Öffnen", "Schließen", "Drehen",  // 70
    "Spiegeln", "Horizontal", "Vertikal", "Bild im Frequenzraum", "Zu bereinigenden Bereich auswählen", "Löschen",
    "Zurücksetzen", "Animieren", "Filter laden", "Filter speichern",  // 80
    "Relief", "Drucken", "Ränder", "Zoll", "Rechts", "Unten", "Position", "Größe", "Normal", "An Seite anpassen",  // 90
    "Auf Seite strecken", "Angegebene Größe", "Gammakorrektur", "Wert", "Druckeinrichtung", "Linker Rand",
    "Oberer Rand", "Rechter Rand", "Unterer Rand", "Position/Größe",  // 100
    "Oben links", "Oben Mitte", "Oben rechts", "Mitte links", "Mitte", "Mitte rechts", "Unten links", "Unten Mitte",
    "Unten rechts", "Schließen",  // 110
    "Übernehmen", "Maßeinheiten", "Einheiten", "Rate", "Alle Grafikformate", "Video for Windows", "Datei",
    "Speicher", "Aktualisiert die Vorschau automatisch mit den gewählten Änderungen", "Alle drucken",  // 120
    "Auswahl drucken", "Gängige Grafikdateien", "Alle Dateien", "HSV", "HSL", "RGB", "FFT", "Schärfen", "Kanäle",
    "Pixel",  // 130
    "Bilder", "Bit", "Byte", "dpi", "KB", "Einpassen",  // 140
};

constexpr TWords kSpanish = {
    "Vista Previa", "Original", "Resultado", "Aceptar", "Cancelar", "Bloquear vista previa",
    "Copiar resultado en el original", "Contraste", "Brillo", "Tono",  // 0
    "Saturación", "Valor", "Color base", "Color nuevo", "Luminosidad", "Rojo", "Verde", "Azul", "Valores del filtro",
    "Predefinidos",  // 10
    "Divisor", "Cargar", "Guardar", "Ecualización", "Umbral", "Ecualizar", "Histograma", "Gris", "Luz",
    "Izquierda",  // 20
    "Arriba", "Ancho", "Alto", "Color", "Cantidad de imagen original", "Lente", "Refracción",
    "Vista previa de parámetros", "Calidad", "Método DCT",  // 30
    "Factor de suavizado", "Escala de grises", "Huffman óptimo", "Tamaño original", "Tamaño comprimido", "Avanzado",
    "Progresivo", "Compresión", "Índice de imagen", "Fotométrico",  // 40
    "Datos del documento escaneado", "Nombre", "Descripción", "Nombre de página", "Número de página", "de",
    "Posición horiz. (pulgadas)", "Posición vert. (pulgadas)", "Colores", "Transparente",  // 50
    "Color transparente", "Entrelazado", "Fondo", "Posición horiz.", "Posición vert.", "Tiempo de retardo", "Filtro",
    "Onda", "Amplitud", "Longitud de onda",  // 60
    "Fase", "Reflejo", "Filtro de usuario", "Filtros morfológicos", "Tamaño de ventana", "Máximo", "Mínimo",
    "Apertura", "Cierre", "Girar",  // 70
    "Voltear", "Horizontal", "Vertical", "Imagen en el dominio de la frecuencia", "Seleccione la región que limpiar",
    "Borrar", "Restablecer", "Animar", "Cargar filtro", "Guardar filtro",  // 80
    "Mapa de relieve", "Imprimir", "Márgenes", "pulgadas", "Derecha", "Abajo", "Posición", "Tamaño", "Normal",
    "Ajustar a la página",  // 90
    "Estirar a la página", "Tamaño especificado", "Corrección gamma", "Valor", "Configurar impresión",
    "Margen izquierdo", "Margen superior", "Margen derecho", "Margen inferior", "Posición/tamaño",  // 100
    "Arriba a la izquierda", "Arriba al centro", "Arriba a la derecha", "Centro a la izquierda", "Centro",
    "Centro a la derecha", "Abajo a la izquierda", "Abajo al centro", "Abajo a la derecha", "Cerrar",  // 110
    "Aplicar", "Unidades de medida", "Unidades", "Rate", "Todos los gráficos", "Video for Windows", "Archivo",
    "Memoria", "Actualiza la vista previa automáticamente con los cambios seleccionados", "Imprimir todo",  // 120
    "Imprimir selección", "Archivos gráficos comunes", "Todos los archivos", "HSV", "HSL", "RGB", "FFT", "Enfocar",
    "Canales", "píxel",  // 130
    "fotogramas", "bit", "byte", "ppp", "KB", "Ajustar",  // 140
};

constexpr TWords kFrench = {
    "Prévisualisation", "Original", "Résultat", "OK", "Annuler", "Verrouiller l'aperçu",
    "Copier le résultat dans l'original", "Contraste", "Luminosité", "Teinte",  // 0
    "Saturation", "Valeur", "Couleur de base", "Nouvelle couleur", "Luminance", "Rouge", "Vert", "Bleu",
    "Valeurs du filtre", "Préréglages",  // 10
    "Diviseur", "Charger", "Enregistrer", "Égalisation", "Seuil", "Égaliser", "Histogramme", "Gris", "Lumière",
    "Gauche",  // 20
    "Haut", "Largeur", "Hauteur", "Couleur", "Part de l'image originale", "Lentille", "Réfraction",
    "Aperçu des paramètres", "Qualité", "Méthode DCT",  // 30
    "Facteur de lissage", "Niveaux de gris", "Huffman optimisé", "Taille d'origine", "Taille compressée", "Avancé",
    "Progressif", "Compression", "Index de l'image", "Photométrie",  // 40
    "Informations sur le document numérisé", "Nom", "Description", "Nom de la page", "Numéro de page", "sur",
    "Position horiz. (pouces)", "Position vert. (pouces)", "Couleurs", "Transparent",  // 50
    "Couleur transparente", "Entrelacé", "Arrière-plan", "Position horiz.", "Position vert.", "Délai", "Filtre",
    "Onde", "Amplitude", "Longueur d'onde",  // 60
    "Phase", "Réfléchissant", "Filtre utilisateur", "Filtres morphologiques", "Taille de la fenêtre", "Maximum",
    "Minimum", "Ouverture", "Fermeture", "Rotation",  // 70
    "Retourner", "Horizontal", "Vertical", "Image dans le domaine fréquentiel", "Sélectionnez la zone à nettoyer",
    "Effacer", "Réinitialiser", "Animer", "Charger un filtre", "Enregistrer le filtre",  // 80
    "Carte de relief", "Imprimer", "Marges", "pouces", "Droite", "Bas", "Position", "Taille", "Normale",
    "Ajuster à la page",  // 90
    "Étirer sur la page", "Taille indiquée", "Correction gamma", "Valeur", "Configuration de l'impression",
    "Marge gauche", "Marge haute", "Marge droite", "Marge basse", "Position/taille",  // 100
    "En haut à gauche", "En haut au centre", "En haut à droite", "Au centre à gauche", "Centre",
    "Au centre à droite", "En bas à gauche", "En bas au centre", "En bas à droite", "Fermer",  // 110
    "Appliquer", "Unités de mesure", "Unités", "Rate", "Tous les graphiques", "Video for Windows", "Fichier",
    "Mémoire", "Met à jour l'aperçu automatiquement avec les modifications choisies", "Tout imprimer",  // 120
    "Imprimer la sélection", "Fichiers graphiques courants", "Tous les fichiers", "TSV", "TSL", "RVB", "FFT",
    "Netteté", "Canaux", "pixel",  // 130
    "images", "bit", "octet", "ppp", "Ko", "Ajuster",  // 140
};

constexpr TWords kPortuguese = {
    "Visualizar", "Original", "Resultado", "OK", "Cancelar", "Bloquear visualização",
    "Copiar resultado para o original", "Contraste", "Brilho", "Matiz",  // 0
    "Saturação", "Valor", "Cor base", "Nova cor", "Luminosidade", "Vermelho", "Verde", "Azul", "Valores do filtro",
    "Predefinições",  // 10
    "Divisor", "Carregar", "Salvar", "Equalização", "Limiar", "Equalizar", "Histograma", "Cinza", "Luz",
    "Esquerda",  // 20
    "Topo", "Largura", "Altura", "Cor", "Quantidade da imagem original", "Lente", "Refração",
    "Visualização dos parâmetros", "Qualidade", "Método DCT",  // 30
    "Fator de suavização", "Tons de cinza", "Huffman otimizado", "Tamanho original", "Tamanho comprimido",
    "Avançado", "Progressivo", "Compressão", "Índice da imagem", "Fotométrico",  // 40
    "Dados do documento digitalizado", "Nome", "Descrição", "Nome da página", "Número da página", "de",
    "Posição horiz. (polegadas)", "Posição vert. (polegadas)", "Cores", "Transparente",  // 50
    "Cor transparente", "Entrelaçado", "Fundo", "Posição horiz.", "Posição vert.", "Tempo de espera", "Filtro",
    "Onda", "Amplitude", "Comprimento de onda",  // 60
    "Fase", "Reflexo", "Filtro do usuário", "Filtros morfológicos", "Tamanho da janela", "Máximo", "Mínimo",
    "Abertura", "Fechamento", "Girar",  // 70
    "Inverter", "Horizontal", "Vertical", "Imagem no domínio da frequência", "Selecione a região a limpar", "Limpar",
    "Redefinir", "Animar", "Carregar filtro", "Salvar filtro",  // 80
    "Mapa de relevo", "Imprimir", "Margens", "polegadas", "Direita", "Base", "Posição", "Tamanho", "Normal",
    "Ajustar à página",  // 90
    "Esticar na página", "Tamanho especificado", "Correção gama", "Valor", "Configurar impressão",
    "Margem esquerda", "Margem superior", "Margem direita", "Margem inferior", "Posição/tamanho",  // 100
    "Superior esquerdo", "Superior central", "Superior direito", "Centro esquerdo", "Centro", "Centro direito",
    "Inferior esquerdo", "Inferior central", "Inferior direito", "Fechar",  // 110
    "Aplicar", "Unidades de medida", "Unidades", "Rate", "Todos os gráficos", "Video for Windows", "Arquivo",
    "Memória", "Atualiza a visualização automaticamente com as alterações selecionadas", "Imprimir tudo",  // 120
    "Imprimir seleção", "Arquivos gráficos comuns", "Todos os arquivos", "HSV", "HSL", "RGB", "FFT", "Nitidez",
    "Canais", "pixel",  // 130
    "quadros", "bit", "byte", "dpi", "KB", "Ajustar",  // 140
};

constexpr TWords kGreek = {
    "Προεπισκόπηση", "Αρχική", "Αποτέλεσμα", "OK", "Άκυρο", "Κλείδωμα προεπισκόπησης",
    "Αντιγραφή αποτελέσματος στην αρχική", "Αντίθεση", "Φωτεινότητα", "Απόχρωση",  // 0
    "Κορεσμός", "Τιμή", "Βασικό χρώμα", "Νέο χρώμα", "Φωτεινότητα χρώματος", "Κόκκινο", "Πράσινο", "Μπλε",
    "Τιμές φίλτρου", "Προκαθορισμένα",  // 10
    "Διαιρέτης", "Φόρτωση", "Αποθήκευση", "Εξισορρόπηση", "Κατώφλι", "Εξισορρόπηση ιστογράμματος", "Ιστόγραμμα",
    "Γκρι", "Φως", "Αριστερά",  // 20
    "Πάνω", "Πλάτος", "Ύψος", "Χρώμα", "Ποσοστό αρχικής εικόνας", "Φακός", "Διάθλαση", "Προεπισκόπηση παραμέτρων",
    "Ποιότητα", "Μέθοδος DCT",  // 30
    "Συντελεστής εξομάλυνσης", "Κλίμακα του γκρι", "Βέλτιστο Huffman", "Αρχικό μέγεθος", "Συμπιεσμένο μέγεθος",
    "Για προχωρημένους", "Προοδευτική", "Συμπίεση", "Αριθμός εικόνας", "Φωτομετρία",  // 40
    "Στοιχεία σαρωμένου εγγράφου", "Όνομα", "Περιγραφή", "Όνομα σελίδας", "Αριθμός σελίδας", "από",
    "Οριζ. θέση (ίντσες)", "Κατακ. θέση (ίντσες)", "Χρώματα", "Διαφανές",  // 50
    "Διαφανές χρώμα", "Πεπλεγμένη", "Φόντο", "Οριζ. θέση", "Κατακ. θέση", "Χρόνος καθυστέρησης", "Φίλτρο", "Κύμα",
    "Πλάτος κύματος", "Μήκος κύματος",  // 60
    "Φάση", "Ανακλαστικό", "Φίλτρο χρήστη", "Μορφολογικά φίλτρα", "Μέγεθος παραθύρου", "Μέγιστο", "Ελάχιστο",
    "Άνοιγμα", "Κλείσιμο", "Περιστροφή",  // 70
    "Αναστροφή", "Οριζόντια", "Κατακόρυφα", "Εικόνα στο πεδίο συχνοτήτων", "Επιλέξτε την περιοχή προς καθαρισμό",
    "Απαλοιφή", "Επαναφορά", "Κίνηση", "Φόρτωση φίλτρου", "Αποθήκευση φίλτρου",  // 80
    "Χάρτης ανάγλυφου", "Εκτύπωση", "Περιθώρια", "ίντσες", "Δεξιά", "Κάτω", "Θέση", "Μέγεθος", "Κανονικό",
    "Προσαρμογή στη σελίδα",  // 90
    "Επέκταση στη σελίδα", "Καθορισμένο μέγεθος", "Διόρθωση γάμμα", "Τιμή", "Ρύθμιση εκτύπωσης",
    "Αριστερό περιθώριο", "Άνω περιθώριο", "Δεξί περιθώριο", "Κάτω περιθώριο", "Θέση/μέγεθος",  // 100
    "Πάνω αριστερά", "Πάνω στο κέντρο", "Πάνω δεξιά", "Κέντρο αριστερά", "Κέντρο", "Κέντρο δεξιά", "Κάτω αριστερά",
    "Κάτω στο κέντρο", "Κάτω δεξιά", "Κλείσιμο",  // 110
    "Εφαρμογή", "Μονάδες μέτρησης", "Μονάδες", "Rate", "Όλα τα γραφικά", "Video for Windows", "Αρχείο", "Μνήμη",
    "Ενημερώνει αυτόματα την προεπισκόπηση με τις αλλαγές που επιλέξατε", "Εκτύπωση όλων",  // 120
    "Εκτύπωση επιλεγμένων", "Κοινά αρχεία γραφικών", "Όλα τα αρχεία", "HSV", "HSL", "RGB", "FFT", "Όξυνση",
    "Κανάλια", "εικονοστοιχείο",  // 130
    "καρέ", "bit", "byte", "dpi", "KB", "Προσαρμογή",  // 140
};

constexpr TWords kRussian = {
    "Просмотр", "Оригинал", "Результат", "OK", "Отмена", "Закрепить просмотр", "Копировать результат в оригинал",
    "Контраст", "Яркость", "Оттенок",  // 0
    "Насыщенность", "Значение", "Основной цвет", "Новый цвет", "Светимость", "Красный", "Зелёный", "Синий",
    "Значения фильтра", "Наборы",  // 10
    "Делитель", "Загрузить", "Сохранить", "Выравнивание", "Порог", "Выровнять", "Гистограмма", "Серый", "Свет",
    "Слева",  // 20
    "Сверху", "Ширина", "Высота", "Цвет", "Доля исходного изображения", "Линза", "Преломление",
    "Просмотр параметров", "Качество", "Метод DCT",  // 30
    "Коэффициент сглаживания", "Оттенки серого", "Оптимальный Хаффман", "Исходный размер", "Размер после сжатия",
    "Дополнительно", "Прогрессивный", "Сжатие", "Номер изображения", "Фотометрия",  // 40
    "Сведения о сканированном документе", "Имя", "Описание", "Имя страницы", "Номер страницы", "из",
    "Гориз. положение (дюймы)", "Верт. положение (дюймы)", "Цвета", "Прозрачный",  // 50
    "Прозрачный цвет", "Чересстрочный", "Фон", "Гориз. положение", "Верт. положение", "Задержка", "Фильтр", "Волна",
    "Амплитуда", "Длина волны",  // 60
    "Фаза", "Отражение", "Фильтр пользователя", "Морфологические фильтры", "Размер окна", "Максимум", "Минимум",
    "Размыкание", "Замыкание", "Повернуть",  // 70
    "Отразить", "По горизонтали", "По вертикали", "Изображение в частотной области", "Выберите область для очистки",
    "Очистить", "Сбросить", "Анимировать", "Загрузить фильтр", "Сохранить фильтр",  // 80
    "Карта рельефа", "Печать", "Поля", "дюймы", "Справа", "Снизу", "Положение", "Размер", "Обычный",
    "По размеру страницы",  // 90
    "Растянуть на страницу", "Заданный размер", "Гамма-коррекция", "Значение", "Настройка печати", "Левое поле",
    "Верхнее поле", "Правое поле", "Нижнее поле", "Положение/размер",  // 100
    "Вверху слева", "Вверху по центру", "Вверху справа", "В центре слева", "В центре", "В центре справа",
    "Внизу слева", "Внизу по центру", "Внизу справа", "Закрыть",  // 110
    "Применить", "Единицы измерения", "Единицы", "Степень", "Все графические файлы", "Video for Windows", "Файл",
    "Память", "Автоматически обновляет просмотр с выбранными изменениями", "Печатать все",  // 120
    "Печатать выбранные", "Распространённые графические файлы", "Все файлы", "HSV", "HSL", "RGB", "FFT", "Резкость",
    "Каналы", "пиксель",  // 130
    "кадры", "бит", "байт", "dpi", "КБ", "Вписать",  // 140
};

constexpr TWords kDutch = {
    "Voorbeeld", "Origineel", "Resultaat", "OK", "Annuleren", "Voorbeeld vastzetten", "Resultaat naar origineel kopiëren",
    "Contrast", "Helderheid", "Tint",  // 0
    "Verzadiging", "Waarde", "Basiskleur", "Nieuwe kleur", "Luminantie", "Rood", "Groen", "Blauw", "Filterwaarden",
    "Voorinstellingen",  // 10
    "Deler", "Laden", "Opslaan", "Egalisatie", "Drempel", "Egaliseren", "Histogram", "Grijs", "Licht", "Links",  // 20
    "Boven", "Breedte", "Hoogte", "Kleur", "Aandeel originele afbeelding", "Lens", "Breking", "Voorbeeld parameters",
    "Kwaliteit", "DCT-methode",  // 30
    "Vloeiendheidsfactor", "Grijswaarden", "Optimale Huffman", "Oorspronkelijke grootte", "Gecomprimeerde grootte",
    "Geavanceerd", "Progressief", "Compressie", "Afbeeldingsindex", "Fotometrie",  // 40
    "Gegevens gescand document", "Naam", "Beschrijving", "Paginanaam", "Paginanummer", "van",
    "Horiz. positie (inch)", "Vert. positie (inch)", "Kleuren", "Transparant",  // 50
    "Transparante kleur", "Interlaced", "Achtergrond", "Horiz. positie", "Vert. positie", "Vertraging", "Filter",
    "Golf", "Amplitude", "Golflengte",  // 60
    "Fase", "Spiegelend", "Gebruikersfilter", "Morfologische filters", "Venstergrootte", "Maximum", "Minimum",
    "Openen", "Sluiten", "Draaien",  // 70
    "Spiegelen", "Horizontaal", "Verticaal", "Afbeelding in het frequentiedomein", "Selecteer het op te schonen gebied",
    "Wissen", "Herstellen", "Animeren", "Filter laden", "Filter opslaan",  // 80
    "Reliëfkaart", "Afdrukken", "Marges", "inch", "Rechts", "Onder", "Positie", "Grootte", "Normaal",
    "Passend op pagina",  // 90
    "Uitrekken tot pagina", "Opgegeven grootte", "Gammacorrectie", "Waarde", "Afdrukinstelling", "Linkermarge",
    "Bovenmarge", "Rechtermarge", "Ondermarge", "Positie/grootte",  // 100
    "Linksboven", "Midden boven", "Rechtsboven", "Midden links", "Midden", "Midden rechts", "Linksonder",
    "Midden onder", "Rechtsonder", "Sluiten",  // 110
    "Toepassen", "Maateenheden", "Eenheden", "Rate", "Alle afbeeldingen", "Video for Windows", "Bestand", "Geheugen",
    "Werkt het voorbeeld automatisch bij met de gekozen wijzigingen", "Alles afdrukken",  // 120
    "Selectie afdrukken", "Gangbare afbeeldingsbestanden", "Alle bestanden", "HSV", "HSL", "RGB", "FFT",
    "Verscherpen", "Kanalen", "pixel",  // 130
    "frames", "bit", "byte", "dpi", "KB", "Passend",  // 140
};

constexpr TWords kSwedish = {
    "Granska", "Original", "Resultat", "OK", "Avbryt", "Lås förhandsvisning", "Kopiera resultat till original",
    "Kontrast", "Ljusstyrka", "Nyans",  // 0
    "Mättnad", "Värde", "Grundfärg", "Ny färg", "Luminans", "Röd", "Grön", "Blå", "Filtervärden",
    "Förinställningar",  // 10
    "Divisor", "Läs in", "Spara", "Utjämning", "Tröskelvärde", "Utjämna", "Histogram", "Grå", "Ljus", "Vänster",  // 20
    "Överkant", "Bredd", "Höjd", "Färg", "Andel av originalbilden", "Lins", "Brytning", "Förhandsvisa parametrar",
    "Kvalitet", "DCT-metod",  // 30
    "Utjämningsfaktor", "Gråskala", "Optimal Huffman", "Ursprunglig storlek", "Komprimerad storlek", "Avancerat",
    "Progressiv", "Komprimering", "Bildindex", "Fotometri",  // 40
    "Uppgifter om skannat dokument", "Namn", "Beskrivning", "Sidnamn", "Sidnummer", "av", "Vågr. position (tum)",
    "Lodr. position (tum)", "Färger", "Genomskinlig",  // 50
    "Genomskinlig färg", "Sammanflätad", "Bakgrund", "Vågr. position", "Lodr. position", "Fördröjning", "Filter",
    "Våg", "Amplitud", "Våglängd",  // 60
    "Fas", "Reflekterande", "Användarfilter", "Morfologiska filter", "Fönsterstorlek", "Maximum", "Minimum",
    "Öppning", "Slutning", "Rotera",  // 70
    "Vänd", "Vågrätt", "Lodrätt", "Bild i frekvensdomänen", "Markera området som ska rensas", "Rensa", "Återställ",
    "Animera", "Läs in filter", "Spara filter",  // 80
    "Reliefkarta", "Skriv ut", "Marginaler", "tum", "Höger", "Nederkant", "Position", "Storlek", "Normal",
    "Anpassa till sidan",  // 90
    "Sträck ut till sidan", "Angiven storlek", "Gammakorrigering", "Värde", "Utskriftsformat", "Vänstermarginal",
    "Övre marginal", "Högermarginal", "Nedre marginal", "Placering/storlek",  // 100
    "Överst till vänster", "Överst i mitten", "Överst till höger", "Mitten till vänster", "Mitten",
    "Mitten till höger", "Nederst till vänster", "Nederst i mitten", "Nederst till höger", "Stäng",  // 110
    "Verkställ", "Måttenheter", "Enheter", "Proportion", "All grafik", "Video for Windows", "Fil", "Minne",
    "Uppdaterar förhandsvisningen automatiskt med de ändringar du valt", "Skriv ut alla",  // 120
    "Skriv ut markerade", "Vanliga grafikfiler", "Alla filer", "HSV", "HSL", "RGB", "FFT", "Skärpa", "Kanaler",
    "bildpunkt",  // 130
    "bildrutor", "bit", "byte", "dpi", "kB", "Anpassa",  // 140
};

constexpr TWords kPolish = {
    "Podgląd", "Oryginał", "Wynik", "OK", "Anuluj", "Zablokuj podgląd", "Kopiuj wynik do oryginału", "Kontrast",
    "Jasność", "Barwa",  // 0
    "Nasycenie", "Wartość", "Kolor bazowy", "Nowy kolor", "Luminancja", "Czerwony", "Zielony", "Niebieski",
    "Wartości filtru", "Ustawienia wstępne",  // 10
    "Dzielnik", "Wczytaj", "Zapisz", "Wyrównanie", "Próg", "Wyrównaj", "Histogram", "Szary", "Światło", "Lewo",  // 20
    "Góra", "Szerokość", "Wysokość", "Kolor", "Udział oryginalnego obrazu", "Soczewka", "Załamanie",
    "Podgląd parametrów", "Jakość", "Metoda DCT",  // 30
    "Współczynnik wygładzania", "Skala szarości", "Optymalny Huffman", "Rozmiar oryginalny", "Rozmiar po kompresji",
    "Zaawansowane", "Progresywny", "Kompresja", "Indeks obrazu", "Fotometria",  // 40
    "Informacje o zeskanowanym dokumencie", "Nazwa", "Opis", "Nazwa strony", "Numer strony", "z",
    "Położenie poziome (cale)", "Położenie pionowe (cale)", "Kolory", "Przezroczysty",  // 50
    "Kolor przezroczysty", "Z przeplotem", "Tło", "Położenie poziome", "Położenie pionowe", "Opóźnienie", "Filtr",
    "Fala", "Amplituda", "Długość fali",  // 60
    "Faza", "Odbicie", "Filtr użytkownika", "Filtry morfologiczne", "Rozmiar okna", "Maksimum", "Minimum", "Otwarcie",
    "Zamknięcie", "Obróć",  // 70
    "Odbij", "W poziomie", "W pionie", "Obraz w dziedzinie częstotliwości", "Zaznacz obszar do oczyszczenia",
    "Wyczyść", "Resetuj", "Animuj", "Wczytaj filtr", "Zapisz filtr",  // 80
    "Mapa wypukłości", "Drukuj", "Marginesy", "cale", "Prawo", "Dół", "Położenie", "Rozmiar", "Normalny",
    "Dopasuj do strony",  // 90
    "Rozciągnij na stronę", "Podany rozmiar", "Korekcja gamma", "Wartość", "Ustawienia wydruku", "Lewy margines",
    "Górny margines", "Prawy margines", "Dolny margines", "Położenie/rozmiar",  // 100
    "U góry z lewej", "U góry na środku", "U góry z prawej", "Na środku z lewej", "Na środku", "Na środku z prawej",
    "U dołu z lewej", "U dołu na środku", "U dołu z prawej", "Zamknij",  // 110
    "Zastosuj", "Jednostki miary", "Jednostki", nullptr, "Wszystkie grafiki", "Video for Windows", "Plik", "Pamięć",
    "Automatycznie aktualizuje podgląd o wybrane zmiany", "Drukuj wszystko",  // 120
    "Drukuj zaznaczone", "Popularne pliki graficzne", "Wszystkie pliki", "HSV", "HSL", "RGB", "FFT", "Wyostrz",
    "Kanały", "piksel",  // 130
    "klatki", "bit", "bajt", "dpi", "KB", "Dopasuj",  // 140
};

constexpr TWords kJapanese = {
    "プレビュー", "元画像", "結果", "OK", "キャンセル", "プレビューを固定", "結果を元画像にコピー", "コントラスト",
    "明るさ", "色相",  // 0
    "彩度", "値", "基本色", "新しい色", "輝度", "赤", "緑", "青", "フィルター値", "プリセット",  // 10
    "除数", "読み込み", "保存", "均等化", "しきい値", "均等化する", "ヒストグラム", "グレー", "光", "左",  // 20
    "上", "幅", "高さ", "色", "元画像の割合", "レンズ", "屈折", "パラメーターのプレビュー", "品質", "DCT 方式",  // 30
    "スムージング係数", "グレースケール", "最適ハフマン", "元のサイズ", "圧縮後のサイズ", "詳細設定", "プログレッシブ",
    "圧縮", "画像番号", "測光方式",  // 40
    "スキャン文書の情報", "名前", "説明", "ページ名", "ページ番号", "/", "水平位置 (インチ)", "垂直位置 (インチ)",
    "色数", "透過",  // 50
    "透過色", "インターレース", "背景", "水平位置", "垂直位置", "遅延時間", "フィルター", "波", "振幅", "波長",  // 60
    "位相", "反射", "ユーザーフィルター", "モルフォロジーフィルター", "ウィンドウサイズ", "最大", "最小", "オープニング",
    "クロージング", "回転",  // 70
    "反転", "水平", "垂直", "周波数領域の画像", "消去する領域を選択してください", "クリア", "リセット", "アニメーション",
    "フィルターを読み込む", "フィルターを保存",  // 80
    "バンプマップ", "印刷", "余白", "インチ", "右", "下", "位置", "サイズ", "標準", "ページに合わせる",  // 90
    "ページいっぱいに拡大", "指定サイズ", "ガンマ補正", "値", "印刷設定", "左余白", "上余白", "右余白", "下余白",
    "位置とサイズ",  // 100
    "左上", "中央上", "右上", "左中央", "中央", "右中央", "左下", "中央下", "右下", "閉じる",  // 110
    "適用", "単位", "単位系", "レート", "すべてのグラフィック", "Video for Windows", "ファイル", "メモリ",
    "選択した変更をプレビューに自動で反映します", "すべて印刷",  // 120
    "選択項目を印刷", "一般的な画像ファイル", "すべてのファイル", "HSV", "HSL", "RGB", "FFT", "シャープ", "チャンネル",
    "ピクセル",  // 130
    "フレーム", "ビット", "バイト", "dpi", "KB", "合わせる",  // 140
};

constexpr TWords kCzech = {
    "Náhled", "Originál", "Výsledek", "OK", "Storno", "Zamknout náhled", "Kopírovat výsledek do originálu", "Kontrast",
    "Jas", "Odstín",  // 0
    "Sytost", "Hodnota", "Základní barva", "Nová barva", "Světlost", "Červená", "Zelená", "Modrá", "Hodnoty filtru",
    "Předvolby",  // 10
    "Dělitel", "Načíst", "Uložit", "Vyrovnání", "Práh", "Vyrovnat", "Histogram", "Šedá", "Světlo", "Vlevo",  // 20
    "Nahoře", "Šířka", "Výška", "Barva", "Podíl původního obrázku", "Čočka", "Lom", "Náhled parametrů", "Kvalita",
    "Metoda DCT",  // 30
    "Faktor vyhlazení", "Stupně šedi", "Optimální Huffman", "Původní velikost", "Komprimovaná velikost", "Upřesnit",
    "Progresivní", "Komprese", "Index obrázku", "Fotometrie",  // 40
    "Údaje o naskenovaném dokumentu", "Název", "Popis", "Název stránky", "Číslo stránky", "z",
    "Vodor. poloha (palce)", "Svislá poloha (palce)", "Barvy", "Průhledný",  // 50
    "Průhledná barva", "Prokládaný", "Pozadí", "Vodor. poloha", "Svislá poloha", "Prodleva", "Filtr", "Vlna",
    "Amplituda", "Vlnová délka",  // 60
    "Fáze", "Odraz", "Uživatelský filtr", "Morfologické filtry", "Velikost okna", "Maximum", "Minimum", "Otevření",
    "Uzavření", "Otočit",  // 70
    "Překlopit", "Vodorovně", "Svisle", "Obraz ve frekvenční oblasti", "Vyberte oblast k vyčištění", "Vymazat",
    "Obnovit", "Animovat", "Načíst filtr", "Uložit filtr",  // 80
    "Reliéfní mapa", "Tisk", "Okraje", "palce", "Vpravo", "Dole", "Poloha", "Velikost", "Normální",
    "Přizpůsobit stránce",  // 90
    "Roztáhnout na stránku", "Zadaná velikost", "Korekce gama", "Hodnota", "Nastavení tisku", "Levý okraj",
    "Horní okraj", "Pravý okraj", "Dolní okraj", "Umístění/velikost",  // 100
    "Vlevo nahoře", "Nahoře uprostřed", "Vpravo nahoře", "Vlevo uprostřed", "Uprostřed", "Vpravo uprostřed",
    "Vlevo dole", "Dole uprostřed", "Vpravo dole", "Zavřít",  // 110
    "Použít", "Měrné jednotky", "Jednotky", "Kvalita", "Všechny obrázky", "Video for Windows", "Soubor", "Paměť",
    "Automaticky promítá zvolené změny do náhledu", "Tisknout vše",  // 120
    "Tisknout vybrané", "Běžné grafické soubory", "Všechny soubory", "HSV", "HSL", "RGB", "FFT", "Zaostřit",
    "Kanály", "pixel",  // 130
    "snímky", "bit", "bajt", "dpi", "kB", "Přizpůsobit",  // 140
};

constexpr TWords kFinnish = {
    "Esikatselu", "Alkuperäinen", "Tulos", "OK", "Peruuta", "Lukitse esikatselu", "Kopioi tulos alkuperäiseen",
    "Kontrasti", "Kirkkaus", "Sävy",  // 0
    "Kylläisyys", "Arvo", "Perusväri", "Uusi väri", "Luminanssi", "Punainen", "Vihreä", "Sininen", "Suodattimen arvot",
    "Esiasetukset",  // 10
    "Jakaja", "Lataa", "Tallenna", "Tasoitus", "Kynnys", "Tasoita", "Histogrammi", "Harmaa", "Valo", "Vasen",  // 20
    "Ylä", "Leveys", "Korkeus", "Väri", "Alkuperäisen kuvan osuus", "Linssi", "Taittuminen",
    "Parametrien esikatselu", "Laatu", "DCT-menetelmä",  // 30
    "Pehmennyskerroin", "Harmaasävy", "Optimaalinen Huffman", "Alkuperäinen koko", "Pakattu koko", "Lisäasetukset",
    "Progressiivinen", "Pakkaus", "Kuvan numero", "Fotometria",  // 40
    "Skannatun asiakirjan tiedot", "Nimi", "Kuvaus", "Sivun nimi", "Sivunumero", "/", "Vaakasijainti (tuumaa)",
    "Pystysijainti (tuumaa)", "Värit", "Läpinäkyvä",  // 50
    "Läpinäkyvä väri", "Lomitettu", "Tausta", "Vaakasijainti", "Pystysijainti", "Viive", "Suodatin", "Aalto",
    "Amplitudi", "Aallonpituus",  // 60
    "Vaihe", "Heijastava", "Käyttäjän suodatin", "Morfologiset suodattimet", "Ikkunan koko", "Suurin", "Pienin",
    "Avaus", "Sulkeminen", "Kierrä",  // 70
    "Käännä", "Vaakasuunta", "Pystysuunta", "Kuva taajuustasossa", "Valitse puhdistettava alue", "Tyhjennä", "Palauta",
    "Animoi", "Lataa suodatin", "Tallenna suodatin",  // 80
    "Kohokuviokartta", "Tulosta", "Reunukset", "tuumaa", "Oikea", "Ala", "Sijainti", "Koko", "Normaali",
    "Sovita sivulle",  // 90
    "Venytä sivulle", "Annettu koko", "Gammakorjaus", "Arvo", "Tulostusasetukset", "Vasen reunus", "Yläreunus",
    "Oikea reunus", "Alareunus", "Sijainti/koko",  // 100
    "Ylhäällä vasemmalla", "Ylhäällä keskellä", "Ylhäällä oikealla", "Keskellä vasemmalla", "Keskellä",
    "Keskellä oikealla", "Alhaalla vasemmalla", "Alhaalla keskellä", "Alhaalla oikealla", "Sulje",  // 110
    "Käytä", "Mittayksiköt", "Yksiköt", "Laatu", "Kaikki kuvat", "Video for Windows", "Tiedosto", "Muisti",
    "Päivittää esikatselun automaattisesti valitsemillasi muutoksilla", "Tulosta kaikki",  // 120
    "Tulosta valitut", "Yleiset kuvatiedostot", "Kaikki tiedostot", "HSV", "HSL", "RGB", "FFT", "Terävöitä",
    "Kanavat", "kuvapiste",  // 130
    "kehystä", "bitti", "tavu", "dpi", "kt", "Sovita",  // 140
};

constexpr TWords kFarsi = {
    "پيش نمايش", "اصلی", "نتیجه", "تأیید", "لغو", "قفل پیش‌نمایش", "کپی نتیجه در اصلی", "کنتراست", "روشنایی", "فام",  // 0
    "اشباع", "مقدار", "رنگ پایه", "رنگ جدید", "تابندگی", "قرمز", "سبز", "آبی", "مقادیر فیلتر", "پیش‌تنظیم‌ها",  // 10
    "مقسوم‌علیه", "بارگذاری", "ذخیره", "یکنواخت‌سازی", "آستانه", "یکنواخت کردن", "هیستوگرام", "خاکستری", "نور", "چپ",  // 20
    "بالا", "عرض", "ارتفاع", "رنگ", "سهم تصویر اصلی", "عدسی", "شکست نور", "پیش‌نمایش پارامترها", "کیفیت",
    "روش DCT",  // 30
    "ضریب هموارسازی", "مقیاس خاکستری", "هافمن بهینه", "اندازه اصلی", "اندازه فشرده", "پیشرفته", "تدریجی", "فشرده‌سازی",
    "شماره تصویر", "نورسنجی",  // 40
    "اطلاعات سند اسکن‌شده", "نام", "توضیحات", "نام صفحه", "شماره صفحه", "از", "موقعیت افقی (اینچ)",
    "موقعیت عمودی (اینچ)", "رنگ‌ها", "شفاف",  // 50
    "رنگ شفاف", "درهم‌تنیده", "پس‌زمینه", "موقعیت افقی", "موقعیت عمودی", "زمان تأخیر", "فیلتر", "موج", "دامنه",
    "طول موج",  // 60
    "فاز", "بازتابی", "فیلتر کاربر", "فیلترهای ریخت‌شناسی", "اندازه پنجره", "بیشینه", "کمینه", "گشایش", "بستن",
    "چرخش",  // 70
    "وارونه", "افقی", "عمودی", "تصویر در حوزه فرکانس", "ناحیه‌ای را که باید پاک شود انتخاب کنید", "پاک کردن",
    "بازنشانی", "متحرک‌سازی", "بارگذاری فیلتر", "ذخیره فیلتر",  // 80
    "نقشه برجستگی", "چاپ", "حاشیه‌ها", "اینچ", "راست", "پایین", "موقعیت", "اندازه", "عادی", "متناسب با صفحه",  // 90
    "کشیدن تا صفحه", "اندازه مشخص", "اصلاح گاما", "مقدار", "تنظیم چاپ", "حاشیه چپ", "حاشیه بالا", "حاشیه راست",
    "حاشیه پایین", "موقعیت/اندازه",  // 100
    "بالا چپ", "بالا وسط", "بالا راست", "وسط چپ", "وسط", "وسط راست", "پایین چپ", "پایین وسط", "پایین راست",
    "بستن",  // 110
    "اعمال", "واحدهای اندازه‌گیری", "واحدها", "نسبت", "همه گرافیک‌ها", "Video for Windows", "پرونده", "حافظه",
    "پیش‌نمایش را با تغییراتی که انتخاب کرده‌اید خودکار به‌روز می‌کند", "چاپ همه",  // 120
    "چاپ انتخاب‌شده‌ها", "پرونده‌های گرافیکی رایج", "همه پرونده‌ها", "HSV", "HSL", "RGB", "FFT", "وضوح", "کانال‌ها",
    "پیکسل",  // 130
    "قاب", "بیت", "بایت", "dpi", "KB", "متناسب",  // 140
};

constexpr TWords kChinese = {
    "预览", "原图", "结果", "确定", "取消", "锁定预览", "将结果复制到原图", "对比度", "亮度", "色调",  // 0
    "饱和度", "值", "基本颜色", "新颜色", "明度", "红", "绿", "蓝", "滤镜值", "预设",  // 10
    "除数", "载入", "保存", "均衡化", "阈值", "均衡", "直方图", "灰色", "亮光", "左",  // 20
    "上", "宽度", "高度", "颜色", "原图比例", "透镜", "折射", "参数预览", "质量", "DCT 方法",  // 30
    "平滑系数", "灰度", "优化哈夫曼", "原始大小", "压缩后大小", "高级", "渐进式", "压缩", "图像序号", "光度",  // 40
    "扫描文档信息", "名称", "描述", "页面名称", "页码", "/", "水平位置 (英寸)", "垂直位置 (英寸)", "颜色数", "透明",  // 50
    "透明色", "隔行扫描", "背景", "水平位置", "垂直位置", "延迟时间", "滤镜", "波浪", "振幅", "波长",  // 60
    "相位", "反射", "自定义滤镜", "形态学滤镜", "窗口大小", "最大值", "最小值", "开运算", "闭运算", "旋转",  // 70
    "翻转", "水平", "垂直", "频域图像", "请选择要清除的区域", "清除", "重置", "动画", "载入滤镜", "保存滤镜",  // 80
    "凹凸贴图", "打印", "页边距", "英寸", "右", "下", "位置", "大小", "正常", "适合页面",  // 90
    "拉伸到页面", "指定大小", "伽玛校正", "值", "打印设置", "左边距", "上边距", "右边距", "下边距", "位置/大小",  // 100
    "左上", "中上", "右上", "左中", "居中", "右中", "左下", "中下", "右下", "关闭",  // 110
    "应用", "度量单位", "单位", "比率", "所有图形", "Video for Windows", "文件", "内存", "自动将所选更改反映到预览中",
    "全部打印",  // 120
    "打印所选", "常用图形文件", "所有文件", "HSV", "HSL", "RGB", "FFT", "锐化", "通道", "像素",  // 130
    "帧", "位", "字节", "dpi", "KB", "适合",  // 140
};

constexpr TWords kChineseTraditional = {
    "預覽", "原圖", "結果", "確定", "取消", "鎖定預覽", "將結果複製到原圖", "對比", "亮度", "色調",  // 0
    "飽和度", "值", "基本色彩", "新色彩", "明度", "紅", "綠", "藍", "濾鏡值", "預設",  // 10
    "除數", "載入", "儲存", "等化", "臨界值", "等化處理", "直方圖", "灰色", "亮光", "左",  // 20
    "上", "寬度", "高度", "色彩", "原圖比例", "透鏡", "折射", "參數預覽", "品質", "DCT 方法",  // 30
    "平滑係數", "灰階", "最佳化霍夫曼", "原始大小", "壓縮後大小", "進階", "漸進式", "壓縮", "影像索引", "光度",  // 40
    "掃描文件資訊", "名稱", "描述", "頁面名稱", "頁碼", "/", "水平位置 (英吋)", "垂直位置 (英吋)", "色彩數", "透明",  // 50
    "透明色", "交錯", "背景", "水平位置", "垂直位置", "延遲時間", "濾鏡", "波浪", "振幅", "波長",  // 60
    "相位", "反射", "自訂濾鏡", "形態濾鏡", "視窗大小", "最大值", "最小值", "斷開", "閉合", "旋轉",  // 70
    "翻轉", "水平", "垂直", "頻域影像", "請選取要清除的區域", "清除", "重設", "動畫", "載入濾鏡", "儲存濾鏡",  // 80
    "浮凸對應", "列印", "邊界", "英吋", "右", "下", "位置", "大小", "正常", "符合頁面",  // 90
    "延展至頁面", "指定大小", "Gamma 校正", "值", "列印設定", "左邊界", "上邊界", "右邊界", "下邊界", "位置/大小",  // 100
    "左上", "中上", "右上", "左中", "置中", "右中", "左下", "中下", "右下", "關閉",  // 110
    "套用", "度量單位", "單位", "比率", "所有圖形", "Video for Windows", "檔案", "記憶體", "自動將選取的變更反映在預覽中",
    "全部列印",  // 120
    "列印選取項目", "常用圖形檔", "所有檔案", "HSV", "HSL", "RGB", "FFT", "銳利化", "色版", "像素",  // 130
    "畫格", "位元", "位元組", "dpi", "KB", "符合",  // 140
};

constexpr TWords kDanish = {
    "Visning", "Original", "Resultat", "OK", "Annuller", "Lås visning", "Kopiér resultat til original", "Kontrast",
    "Lysstyrke", "Farvetone",  // 0
    "Mætning", "Værdi", "Grundfarve", "Ny farve", "Luminans", "Rød", "Grøn", "Blå", "Filterværdier",
    "Forudindstillinger",  // 10
    "Divisor", "Indlæs", "Gem", "Udligning", "Tærskel", "Udlign", "Histogram", "Grå", "Lys", "Venstre",  // 20
    "Top", "Bredde", "Højde", "Farve", "Andel af originalbilledet", "Linse", "Brydning", "Vis parametre", "Kvalitet",
    "DCT-metode",  // 30
    "Udglatningsfaktor", "Gråtoner", "Optimal Huffman", "Oprindelig størrelse", "Komprimeret størrelse", "Avanceret",
    "Progressiv", "Komprimering", "Billedindeks", "Fotometri",  // 40
    "Oplysninger om scannet dokument", "Navn", "Beskrivelse", "Sidenavn", "Sidenummer", "af",
    "Vandr. position (tommer)", "Lodr. position (tommer)", "Farver", "Gennemsigtig",  // 50
    "Gennemsigtig farve", "Interlaced", "Baggrund", "Vandr. position", "Lodr. position", "Forsinkelse", "Filter",
    "Bølge", "Amplitude", "Bølgelængde",  // 60
    "Fase", "Reflekterende", "Brugerfilter", "Morfologiske filtre", "Vinduesstørrelse", "Maksimum", "Minimum",
    "Åbning", "Lukning", "Rotér",  // 70
    "Vend", "Vandret", "Lodret", "Billede i frekvensdomænet", "Markér det område, der skal renses", "Ryd",
    "Nulstil", "Animér", "Indlæs filter", "Gem filter",  // 80
    "Reliefkort", "Udskriv", "Margener", "tommer", "Højre", "Bund", "Position", "Størrelse", "Normal",
    "Tilpas til siden",  // 90
    "Stræk til siden", "Angivet størrelse", "Gammakorrektion", "Værdi", "Udskriftsopsætning", "Venstre margen",
    "Topmargen", "Højre margen", "Bundmargen", "Placering/størrelse",  // 100
    "Øverst til venstre", "Øverst i midten", "Øverst til højre", "Midt til venstre", "Midt", "Midt til højre",
    "Nederst til venstre", "Nederst i midten", "Nederst til højre", "Luk",  // 110
    "Anvend", "Måleenheder", "Enheder", "Hastighed", "Al grafik", "Video for Windows", "Fil", "Hukommelse",
    "Opdaterer automatisk visningen med de ændringer, du har valgt", "Udskriv alle",  // 120
    "Udskriv valgte", "Almindelige grafikfiler", "Alle filer", "HSV", "HSL", "RGB", "FFT", "Gør skarpere", "Kanaler",
    "pixel",  // 130
    "billeder", "bit", "byte", "dpi", "KB", "Tilpas",  // 140
};

constexpr TWords kTurkish = {
    "Önizleme", "Özgün", "Sonuç", "Tamam", "İptal", "Önizlemeyi kilitle", "Sonucu özgüne kopyala", "Karşıtlık",
    "Parlaklık", "Ton",  // 0
    "Doygunluk", "Değer", "Temel renk", "Yeni renk", "Işıklılık", "Kırmızı", "Yeşil", "Mavi", "Süzgeç değerleri",
    "Hazır ayarlar",  // 10
    "Bölen", "Yükle", "Kaydet", "Eşitleme", "Eşik", "Eşitle", "Histogram", "Gri", "Işık", "Sol",  // 20
    "Üst", "Genişlik", "Yükseklik", "Renk", "Özgün görüntü oranı", "Mercek", "Kırılma", "Parametre önizlemesi",
    "Kalite", "DCT yöntemi",  // 30
    "Yumuşatma çarpanı", "Gri tonlama", "En iyi Huffman", "Özgün boyut", "Sıkıştırılmış boyut", "Gelişmiş",
    "Aşamalı", "Sıkıştırma", "Görüntü sırası", "Fotometrik",  // 40
    "Taranmış belge bilgisi", "Ad", "Açıklama", "Sayfa adı", "Sayfa numarası", "/", "Yatay konum (inç)",
    "Dikey konum (inç)", "Renkler", "Saydam",  // 50
    "Saydam renk", "Geçmeli", "Arka plan", "Yatay konum", "Dikey konum", "Gecikme süresi", "Süzgeç", "Dalga",
    "Genlik", "Dalga boyu",  // 60
    "Faz", "Yansıtıcı", "Kullanıcı süzgeci", "Biçimbilimsel süzgeçler", "Pencere boyutu", "En büyük", "En küçük",
    "Açma", "Kapama", "Döndür",  // 70
    "Çevir", "Yatay", "Dikey", "Frekans uzayında görüntü", "Temizlenecek bölgeyi seçin", "Temizle", "Sıfırla",
    "Canlandır", "Süzgeç yükle", "Süzgeci kaydet",  // 80
    "Kabartma haritası", "Yazdır", "Kenar boşlukları", "inç", "Sağ", "Alt", "Konum", "Boyut", "Normal",
    "Sayfaya sığdır",  // 90
    "Sayfaya yay", "Belirtilen boyut", "Gama düzeltmesi", "Değer", "Yazdırma ayarları", "Sol kenar boşluğu",
    "Üst kenar boşluğu", "Sağ kenar boşluğu", "Alt kenar boşluğu", "Konum/boyut",  // 100
    "Sol üst", "Üst orta", "Sağ üst", "Sol orta", "Orta", "Sağ orta", "Sol alt", "Alt orta", "Sağ alt", "Kapat",  // 110
    "Uygula", "Ölçü birimleri", "Birimler", "Oran", "Tüm grafikler", "Video for Windows", "Dosya", "Bellek",
    "Seçtiğiniz değişikliklerle önizlemeyi kendiliğinden günceller", "Tümünü yazdır",  // 120
    "Seçilenleri yazdır", "Yaygın grafik dosyaları", "Tüm dosyalar", "HSV", "HSL", "RGB", "FFT", "Keskinleştir",
    "Kanallar", "piksel",  // 130
    "kare", "bit", "bayt", "dpi", "KB", "Sığdır",  // 140
};

constexpr TWords kKorean = {
    "미리보기", "원본", "결과", "확인", "취소", "미리보기 고정", "결과를 원본에 복사", "대비", "밝기", "색조",  // 0
    "채도", "값", "기본 색", "새 색", "광도", "빨강", "초록", "파랑", "필터 값", "사전 설정",  // 10
    "제수", "불러오기", "저장", "평활화", "임계값", "평활화하기", "히스토그램", "회색", "빛", "왼쪽",  // 20
    "위쪽", "너비", "높이", "색", "원본 이미지 비율", "렌즈", "굴절", "매개변수 미리보기", "품질", "DCT 방식",  // 30
    "다듬기 계수", "회색조", "최적 허프만", "원래 크기", "압축 크기", "고급", "점진적", "압축", "이미지 번호", "광도 측정",  // 40
    "스캔 문서 정보", "이름", "설명", "페이지 이름", "페이지 번호", "/", "가로 위치(인치)", "세로 위치(인치)", "색 수",
    "투명",  // 50
    "투명 색", "인터레이스", "배경", "가로 위치", "세로 위치", "지연 시간", "필터", "물결", "진폭", "파장",  // 60
    "위상", "반사", "사용자 필터", "형태학 필터", "창 크기", "최대", "최소", "열기 연산", "닫기 연산", "회전",  // 70
    "뒤집기", "가로", "세로", "주파수 영역 이미지", "지울 영역을 선택하십시오", "지우기", "초기화", "애니메이션",
    "필터 불러오기", "필터 저장",  // 80
    "범프 맵", "인쇄", "여백", "인치", "오른쪽", "아래쪽", "위치", "크기", "보통", "페이지에 맞춤",  // 90
    "페이지에 늘이기", "지정한 크기", "감마 보정", "값", "인쇄 설정", "왼쪽 여백", "위쪽 여백", "오른쪽 여백",
    "아래쪽 여백", "위치/크기",  // 100
    "왼쪽 위", "가운데 위", "오른쪽 위", "왼쪽 가운데", "가운데", "오른쪽 가운데", "왼쪽 아래", "가운데 아래",
    "오른쪽 아래", "닫기",  // 110
    "적용", "측정 단위", "단위", "비율", "모든 그래픽", "Video for Windows", "파일", "메모리",
    "선택한 변경 내용을 미리보기에 자동으로 반영합니다", "모두 인쇄",  // 120
    "선택 항목 인쇄", "일반 그래픽 파일", "모든 파일", "HSV", "HSL", "RGB", "FFT", "선명하게", "채널", "픽셀",  // 130
    "프레임", "비트", "바이트", "dpi", "KB", "맞춤",  // 140
};

constexpr TWords kHungarian = {
    "Előnézet", "Eredeti", "Eredmény", "OK", "Mégse", "Előnézet rögzítése", "Eredmény másolása az eredetibe",
    "Kontraszt", "Fényerő", "Színárnyalat",  // 0
    "Telítettség", "Érték", "Alapszín", "Új szín", "Fénysűrűség", "Vörös", "Zöld", "Kék", "Szűrőértékek",
    "Előbeállítások",  // 10
    "Osztó", "Betöltés", "Mentés", "Kiegyenlítés", "Küszöb", "Kiegyenlít", "Hisztogram", "Szürke", "Fény", "Bal",  // 20
    "Felső", "Szélesség", "Magasság", "Szín", "Eredeti kép aránya", "Lencse", "Fénytörés", "Paraméterek előnézete",
    "Minőség", "DCT-módszer",  // 30
    "Simítási tényező", "Szürkeárnyalat", "Optimális Huffman", "Eredeti méret", "Tömörített méret", "Speciális",
    "Progresszív", "Tömörítés", "Képsorszám", "Fotometria",  // 40
    "A beolvasott dokumentum adatai", "Név", "Leírás", "Oldal neve", "Oldalszám", "/", "Vízsz. pozíció (hüvelyk)",
    "Függ. pozíció (hüvelyk)", "Színek", "Átlátszó",  // 50
    "Átlátszó szín", "Váltottsoros", "Háttér", "Vízsz. pozíció", "Függ. pozíció", "Késleltetés", "Szűrő", "Hullám",
    "Amplitúdó", "Hullámhossz",  // 60
    "Fázis", "Tükröző", "Felhasználói szűrő", "Morfológiai szűrők", "Ablakméret", "Maximum", "Minimum", "Nyitás",
    "Zárás", "Forgatás",  // 70
    "Tükrözés", "Vízszintes", "Függőleges", "Kép a frekvenciatartományban", "Jelölje ki a tisztítandó területet",
    "Törlés", "Alaphelyzet", "Animálás", "Szűrő betöltése", "Szűrő mentése",  // 80
    "Domborzati térkép", "Nyomtatás", "Margók", "hüvelyk", "Jobb", "Alsó", "Pozíció", "Méret", "Normál",
    "Laphoz igazítás",  // 90
    "Nyújtás a lapra", "Megadott méret", "Gammakorrekció", "Érték", "Nyomtatási beállítások", "Bal margó",
    "Felső margó", "Jobb margó", "Alsó margó", "Hely/méret",  // 100
    "Bal felső", "Felső közép", "Jobb felső", "Bal közép", "Közép", "Jobb közép", "Bal alsó", "Alsó közép",
    "Jobb alsó", "Bezárás",  // 110
    "Alkalmaz", "Mértékegységek", "Egységek", "Arány", "Minden grafika", "Video for Windows", "Fájl", "Memória",
    "A kiválasztott módosításokkal automatikusan frissíti az előnézetet", "Összes nyomtatása",  // 120
    "Kijelöltek nyomtatása", "Gyakori grafikus fájlok", "Minden fájl", "HSV", "HSL", "RGB", "FFT", "Élesítés",
    "Csatornák", "képpont",  // 130
    "képkocka", "bit", "bájt", "dpi", "KB", "Igazítás",  // 140
};

// A language's array is complete: 146 entries, only the ones named may be nil.
constexpr int32_t Missing(const char* const (&Words)[kIEWordCount]) {
  int32_t n = 0;
  for (const char* w : Words) n += w == nullptr;
  return n;
}
static_assert(Missing(kEnglish) == 0 && Missing(kItalian) == 0 && Missing(kGerman) == 0 && Missing(kSpanish) == 0 &&
              Missing(kFrench) == 0 && Missing(kPortuguese) == 0 && Missing(kGreek) == 0 && Missing(kRussian) == 0 &&
              Missing(kDutch) == 0 && Missing(kSwedish) == 0 && Missing(kPolish) == 1 && Missing(kJapanese) == 0 &&
              Missing(kCzech) == 0 && Missing(kFinnish) == 0 && Missing(kFarsi) == 0 && Missing(kChinese) == 0 &&
              Missing(kChineseTraditional) == 0 && Missing(kDanish) == 0 && Missing(kTurkish) == 0 &&
              Missing(kKorean) == 0 && Missing(kHungarian) == 0);

}  // namespace

const char* const* IELanguageWords(TMsgLanguage Language) {
  static const char* const* const table[] = {
      nullptr,  kEnglish, kItalian, kGerman,   kSpanish, kFrench,  kPortuguese, kGreek,
      kRussian, kDutch,   kSwedish, kPolish,   kJapanese, kCzech,  kFinnish,    kFarsi,
      kChinese, kChineseTraditional, kDanish, kTurkish, kKorean, kHungarian, nullptr};
  return Language < sizeof table / sizeof table[0] ? table[Language] : nullptr;
}

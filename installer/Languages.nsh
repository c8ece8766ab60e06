; Setup's and the uninstaller's languages: NSIS's own pages in each, and Setup's own texts. NSIS
; picks the user's display language when it holds it, and for a region it lacks its language's
; entry (Portuguese of Portugal takes Brazil's); English, the first, stands for any other.
; Included after the pages; the texts use ${PRODUCT} and ${VERSION}, and $R7, $R9 at run time.

!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "German"
!insertmacro MUI_LANGUAGE "French"
!insertmacro MUI_LANGUAGE "Spanish"
!insertmacro MUI_LANGUAGE "Italian"
!insertmacro MUI_LANGUAGE "PortugueseBR"
!insertmacro MUI_LANGUAGE "Russian"
!insertmacro MUI_LANGUAGE "Ukrainian"
!insertmacro MUI_LANGUAGE "Polish"
!insertmacro MUI_LANGUAGE "Turkish"
!insertmacro MUI_LANGUAGE "Japanese"
!insertmacro MUI_LANGUAGE "SimpChinese"
!insertmacro MUI_LANGUAGE "Korean"

!define P "${PRODUCT}"
!define V "${VERSION}"
!define NL "$\r$\n"

; KESTROVA_TEXTS LANGUAGE WELCOME DIRECTORY RUNNING_SETUP RUNNING_UNINSTALL TAKEN TAKEN_SILENT
;                FOREIGN SHORTCUT
!macro KESTROVA_TEXTS LANG WELCOME DIRECTORY RUNNING_SETUP RUNNING_UNINSTALL TAKEN TAKEN_SILENT FOREIGN SHORTCUT
  LangString TextWelcome ${LANG_${LANG}} "${WELCOME}"
  LangString TextDirectory ${LANG_${LANG}} "${DIRECTORY}"
  LangString TextRunningSetup ${LANG_${LANG}} "${RUNNING_SETUP}"
  LangString TextRunningUninstall ${LANG_${LANG}} "${RUNNING_UNINSTALL}"
  LangString TextTaken ${LANG_${LANG}} "${TAKEN}"
  LangString TextTakenSilent ${LANG_${LANG}} "${TAKEN_SILENT}"
  LangString TextForeign ${LANG_${LANG}} "${FOREIGN}"
  LangString TextShortcut ${LANG_${LANG}} "${SHORTCUT}"
!macroend

!insertmacro KESTROVA_TEXTS ENGLISH \
  "Setup will install ${P} ${V} for you alone; it needs no administrator rights.${NL}${NL}Close ${P} if it is running.${NL}${NL}Click Next to continue." \
  "Setup will install ${P} ${V} in the following folder. To install in a different folder, click Browse and select another folder.${NL}${NL}If that folder already holds other files, Setup installs into a ${P} folder inside it and shows that folder here first. $_CLICK" \
  "${P} is running.${NL}${NL}Close ${P}, then run ${P} Setup again." \
  "${P} is running.${NL}${NL}Close ${P}, then uninstall ${P} again." \
  "$R7 already holds other files.${NL}${NL}Choose another folder." \
  "$R7 already holds other files.${NL}${NL}Run ${P} Setup again and choose another folder." \
  "$R9 appeared while Setup was installing; Setup leaves it as it is and stops." \
  "Convert WebM videos to AVI"

!insertmacro KESTROVA_TEXTS GERMAN \
  "${P} ${V} wird nur für Sie installiert; dafür sind keine Administratorrechte nötig.${NL}${NL}Schließen Sie ${P}, falls es ausgeführt wird.${NL}${NL}Klicken Sie auf Weiter, um fortzufahren." \
  "${P} ${V} wird in den folgenden Ordner installiert. Um in einen anderen Ordner zu installieren, klicken Sie auf Durchsuchen und wählen Sie einen anderen Ordner aus.${NL}${NL}Enthält dieser Ordner bereits andere Dateien, installiert Setup in einen Ordner ${P} darin und zeigt diesen Ordner zuerst hier an. $_CLICK" \
  "${P} wird ausgeführt.${NL}${NL}Schließen Sie ${P}, und führen Sie ${P} Setup erneut aus." \
  "${P} wird ausgeführt.${NL}${NL}Schließen Sie ${P}, und deinstallieren Sie ${P} erneut." \
  "$R7 enthält bereits andere Dateien.${NL}${NL}Wählen Sie einen anderen Ordner." \
  "$R7 enthält bereits andere Dateien.${NL}${NL}Führen Sie ${P} Setup erneut aus, und wählen Sie einen anderen Ordner." \
  "$R9 ist während der Installation entstanden; Setup lässt die Datei unverändert und bricht ab." \
  "WebM-Videos in AVI konvertieren"

!insertmacro KESTROVA_TEXTS FRENCH \
  "Le programme d'installation va installer ${P} ${V} pour vous seul ; aucun droit d'administrateur n'est nécessaire.${NL}${NL}Fermez ${P} s'il est en cours d'exécution.${NL}${NL}Cliquez sur Suivant pour continuer." \
  "Le programme d'installation va installer ${P} ${V} dans le dossier suivant. Pour l'installer dans un autre dossier, cliquez sur Parcourir et sélectionnez un autre dossier.${NL}${NL}Si ce dossier contient déjà d'autres fichiers, ${P} est installé dans un dossier ${P} à l'intérieur, affiché ici d'abord. $_CLICK" \
  "${P} est en cours d'exécution.${NL}${NL}Fermez ${P}, puis relancez l'installation de ${P}." \
  "${P} est en cours d'exécution.${NL}${NL}Fermez ${P}, puis relancez la désinstallation de ${P}." \
  "$R7 contient déjà d'autres fichiers.${NL}${NL}Choisissez un autre dossier." \
  "$R7 contient déjà d'autres fichiers.${NL}${NL}Relancez l'installation de ${P} et choisissez un autre dossier." \
  "$R9 est apparu pendant l'installation ; le programme d'installation le laisse tel quel et s'arrête." \
  "Convertir des vidéos WebM en AVI"

!insertmacro KESTROVA_TEXTS SPANISH \
  "El programa de instalación instalará ${P} ${V} solo para usted; no necesita derechos de administrador.${NL}${NL}Cierre ${P} si se está ejecutando.${NL}${NL}Haga clic en Siguiente para continuar." \
  "El programa de instalación instalará ${P} ${V} en la siguiente carpeta. Para instalarlo en otra carpeta, haga clic en Examinar y seleccione otra carpeta.${NL}${NL}Si esa carpeta ya contiene otros archivos, se instalará en una carpeta ${P} dentro de ella, que se muestra aquí primero. $_CLICK" \
  "${P} se está ejecutando.${NL}${NL}Cierre ${P} y vuelva a ejecutar la instalación de ${P}." \
  "${P} se está ejecutando.${NL}${NL}Cierre ${P} y vuelva a desinstalar ${P}." \
  "$R7 ya contiene otros archivos.${NL}${NL}Elija otra carpeta." \
  "$R7 ya contiene otros archivos.${NL}${NL}Vuelva a ejecutar la instalación de ${P} y elija otra carpeta." \
  "$R9 apareció durante la instalación; el programa de instalación lo deja como está y se detiene." \
  "Convertir vídeos WebM a AVI"

!insertmacro KESTROVA_TEXTS ITALIAN \
  "Il programma di installazione installerà ${P} ${V} solo per te; non servono diritti di amministratore.${NL}${NL}Chiudi ${P} se è in esecuzione.${NL}${NL}Fai clic su Avanti per continuare." \
  "Il programma di installazione installerà ${P} ${V} nella cartella seguente. Per installarlo in un'altra cartella, fai clic su Sfoglia e seleziona un'altra cartella.${NL}${NL}Se quella cartella contiene già altri file, l'installazione avviene in una cartella ${P} al suo interno, mostrata prima qui. $_CLICK" \
  "${P} è in esecuzione.${NL}${NL}Chiudi ${P}, quindi esegui di nuovo l'installazione di ${P}." \
  "${P} è in esecuzione.${NL}${NL}Chiudi ${P}, quindi disinstalla di nuovo ${P}." \
  "$R7 contiene già altri file.${NL}${NL}Scegli un'altra cartella." \
  "$R7 contiene già altri file.${NL}${NL}Esegui di nuovo l'installazione di ${P} e scegli un'altra cartella." \
  "$R9 è comparso durante l'installazione; il programma di installazione lo lascia com'è e si interrompe." \
  "Converti video WebM in AVI"

!insertmacro KESTROVA_TEXTS PORTUGUESEBR \
  "O instalador vai instalar o ${P} ${V} somente para você; não são necessários direitos de administrador.${NL}${NL}Feche o ${P} se ele estiver em execução.${NL}${NL}Clique em Avançar para continuar." \
  "O instalador vai instalar o ${P} ${V} na pasta a seguir. Para instalar em outra pasta, clique em Procurar e selecione outra pasta.${NL}${NL}Se essa pasta já tiver outros arquivos, o instalador usa uma pasta ${P} dentro dela e a mostra aqui primeiro. $_CLICK" \
  "O ${P} está em execução.${NL}${NL}Feche o ${P} e execute o instalador do ${P} novamente." \
  "O ${P} está em execução.${NL}${NL}Feche o ${P} e desinstale o ${P} novamente." \
  "$R7 já contém outros arquivos.${NL}${NL}Escolha outra pasta." \
  "$R7 já contém outros arquivos.${NL}${NL}Execute o instalador do ${P} novamente e escolha outra pasta." \
  "$R9 apareceu durante a instalação; o instalador o deixa como está e para." \
  "Converter vídeos WebM em AVI"

!insertmacro KESTROVA_TEXTS RUSSIAN \
  "Программа установки установит ${P} ${V} только для вас; права администратора не нужны.${NL}${NL}Закройте ${P}, если программа запущена.${NL}${NL}Нажмите кнопку «Далее», чтобы продолжить." \
  "Программа установки установит ${P} ${V} в указанную ниже папку. Чтобы установить в другую папку, нажмите кнопку «Обзор» и выберите другую папку.${NL}${NL}Если в этой папке уже есть другие файлы, программа установки создаст в ней папку ${P} и сначала покажет ее здесь. $_CLICK" \
  "${P} запущена.${NL}${NL}Закройте ${P} и снова запустите установку ${P}." \
  "${P} запущена.${NL}${NL}Закройте ${P} и снова запустите удаление ${P}." \
  "В папке $R7 уже есть другие файлы.${NL}${NL}Выберите другую папку." \
  "В папке $R7 уже есть другие файлы.${NL}${NL}Снова запустите установку ${P} и выберите другую папку." \
  "Во время установки появился файл $R9; программа установки оставляет его как есть и прекращает работу." \
  "Преобразование видео WebM в AVI"

!insertmacro KESTROVA_TEXTS UKRAINIAN \
  "Програма інсталяції інсталює ${P} ${V} лише для вас; права адміністратора не потрібні.${NL}${NL}Закрийте ${P}, якщо програму запущено.${NL}${NL}Натисніть «Далі», щоб продовжити." \
  "Програма інсталяції інсталює ${P} ${V} у зазначену нижче папку. Щоб інсталювати в іншу папку, натисніть «Огляд» і виберіть іншу папку.${NL}${NL}Якщо в цій папці вже є інші файли, програма інсталяції створить у ній папку ${P} і спершу покаже її тут. $_CLICK" \
  "${P} запущено.${NL}${NL}Закрийте ${P} і знову запустіть інсталяцію ${P}." \
  "${P} запущено.${NL}${NL}Закрийте ${P} і знову запустіть видалення ${P}." \
  "У папці $R7 уже є інші файли.${NL}${NL}Виберіть іншу папку." \
  "У папці $R7 уже є інші файли.${NL}${NL}Знову запустіть інсталяцію ${P} і виберіть іншу папку." \
  "Під час інсталяції з’явився файл $R9; програма інсталяції залишає його як є і припиняє роботу." \
  "Перетворення відео WebM на AVI"

!insertmacro KESTROVA_TEXTS POLISH \
  "Instalator zainstaluje program ${P} ${V} tylko dla Ciebie; nie są potrzebne uprawnienia administratora.${NL}${NL}Zamknij program ${P}, jeśli jest uruchomiony.${NL}${NL}Kliknij przycisk Dalej, aby kontynuować." \
  "Instalator zainstaluje program ${P} ${V} w poniższym folderze. Aby zainstalować go w innym folderze, kliknij przycisk Przeglądaj i wybierz inny folder.${NL}${NL}Jeśli ten folder zawiera już inne pliki, instalator użyje folderu ${P} w jego wnętrzu i najpierw pokaże go tutaj. $_CLICK" \
  "Program ${P} jest uruchomiony.${NL}${NL}Zamknij program ${P}, a następnie ponownie uruchom instalator programu ${P}." \
  "Program ${P} jest uruchomiony.${NL}${NL}Zamknij program ${P}, a następnie ponownie odinstaluj program ${P}." \
  "Folder $R7 zawiera już inne pliki.${NL}${NL}Wybierz inny folder." \
  "Folder $R7 zawiera już inne pliki.${NL}${NL}Uruchom ponownie instalator programu ${P} i wybierz inny folder." \
  "Plik $R9 pojawił się podczas instalacji; instalator pozostawia go bez zmian i przerywa działanie." \
  "Konwertuj filmy WebM na AVI"

!insertmacro KESTROVA_TEXTS TURKISH \
  "Kurulum, ${P} ${V} programını yalnızca sizin için yükleyecek; yönetici hakları gerekmez.${NL}${NL}Çalışıyorsa ${P} programını kapatın.${NL}${NL}Devam etmek için İleri'ye tıklayın." \
  "Kurulum, ${P} ${V} programını aşağıdaki klasöre yükleyecek. Başka bir klasöre yüklemek için Gözat'a tıklayıp başka bir klasör seçin.${NL}${NL}Bu klasörde başka dosyalar varsa Kurulum, içinde bir ${P} klasörüne yükler ve önce bu klasörü burada gösterir. $_CLICK" \
  "${P} çalışıyor.${NL}${NL}${P} programını kapatın, sonra ${P} Kurulumu'nu yeniden çalıştırın." \
  "${P} çalışıyor.${NL}${NL}${P} programını kapatın, sonra ${P} kaldırma işlemini yeniden başlatın." \
  "$R7 başka dosyalar içeriyor.${NL}${NL}Başka bir klasör seçin." \
  "$R7 başka dosyalar içeriyor.${NL}${NL}${P} Kurulumu'nu yeniden çalıştırın ve başka bir klasör seçin." \
  "$R9 kurulum sırasında ortaya çıktı; Kurulum ona dokunmadan durur." \
  "WebM videolarını AVI'ye dönüştür"

!insertmacro KESTROVA_TEXTS JAPANESE \
  "${P} ${V} を現在のユーザーのみにインストールします。管理者権限は必要ありません。${NL}${NL}${P} が実行中の場合は終了してください。${NL}${NL}続行するには [次へ] をクリックしてください。" \
  "${P} ${V} を次のフォルダーにインストールします。別のフォルダーにインストールするには、[参照] をクリックして別のフォルダーを選択してください。${NL}${NL}そのフォルダーに既に他のファイルがある場合は、その中の ${P} フォルダーにインストールし、まずここにそのフォルダーを表示します。 $_CLICK" \
  "${P} が実行中です。${NL}${NL}${P} を終了してから、もう一度 ${P} セットアップを実行してください。" \
  "${P} が実行中です。${NL}${NL}${P} を終了してから、もう一度 ${P} をアンインストールしてください。" \
  "$R7 には既に他のファイルがあります。${NL}${NL}別のフォルダーを選択してください。" \
  "$R7 には既に他のファイルがあります。${NL}${NL}もう一度 ${P} セットアップを実行し、別のフォルダーを選択してください。" \
  "インストール中に $R9 が作成されました。セットアップはそのファイルに触れずに中止します。" \
  "WebM ビデオを AVI に変換"

!insertmacro KESTROVA_TEXTS SIMPCHINESE \
  "安装程序将仅为你安装 ${P} ${V}；不需要管理员权限。${NL}${NL}如果 ${P} 正在运行，请将其关闭。${NL}${NL}单击“下一步”继续。" \
  "安装程序将把 ${P} ${V} 安装到以下文件夹。要安装到其他文件夹，请单击“浏览”并选择其他文件夹。${NL}${NL}如果该文件夹中已有其他文件，安装程序将安装到其中的 ${P} 文件夹，并先在此处显示该文件夹。 $_CLICK" \
  "${P} 正在运行。${NL}${NL}请关闭 ${P}，然后重新运行 ${P} 安装程序。" \
  "${P} 正在运行。${NL}${NL}请关闭 ${P}，然后重新卸载 ${P}。" \
  "$R7 中已有其他文件。${NL}${NL}请选择其他文件夹。" \
  "$R7 中已有其他文件。${NL}${NL}请重新运行 ${P} 安装程序并选择其他文件夹。" \
  "安装期间出现了 $R9；安装程序保留该文件不变并停止。" \
  "将 WebM 视频转换为 AVI"

!insertmacro KESTROVA_TEXTS KOREAN \
  "설치 프로그램이 ${P} ${V}을(를) 현재 사용자 전용으로 설치합니다. 관리자 권한은 필요하지 않습니다.${NL}${NL}${P}이(가) 실행 중이면 닫으십시오.${NL}${NL}계속하려면 [다음]을 클릭하십시오." \
  "설치 프로그램이 ${P} ${V}을(를) 다음 폴더에 설치합니다. 다른 폴더에 설치하려면 [찾아보기]를 클릭하여 다른 폴더를 선택하십시오.${NL}${NL}해당 폴더에 이미 다른 파일이 있으면 그 안의 ${P} 폴더에 설치하며, 먼저 여기에 해당 폴더를 표시합니다. $_CLICK" \
  "${P}이(가) 실행 중입니다.${NL}${NL}${P}을(를) 닫은 다음 ${P} 설치 프로그램을 다시 실행하십시오." \
  "${P}이(가) 실행 중입니다.${NL}${NL}${P}을(를) 닫은 다음 ${P}을(를) 다시 제거하십시오." \
  "$R7에 이미 다른 파일이 있습니다.${NL}${NL}다른 폴더를 선택하십시오." \
  "$R7에 이미 다른 파일이 있습니다.${NL}${NL}${P} 설치 프로그램을 다시 실행하고 다른 폴더를 선택하십시오." \
  "설치 중에 $R9이(가) 생겼습니다. 설치 프로그램은 이 파일을 그대로 두고 중지합니다." \
  "WebM 비디오를 AVI로 변환"

; The "Send to" shortcut's tip: the words of the program's own Explorer command.
LangString TextSendTo ${LANG_ENGLISH} "Convert to AVI with Kestrova"
LangString TextSendTo ${LANG_GERMAN} "Mit Kestrova in AVI konvertieren"
LangString TextSendTo ${LANG_FRENCH} "Convertir en AVI avec Kestrova"
LangString TextSendTo ${LANG_SPANISH} "Convertir a AVI con Kestrova"
LangString TextSendTo ${LANG_ITALIAN} "Converti in AVI con Kestrova"
LangString TextSendTo ${LANG_PORTUGUESEBR} "Converter em AVI com o Kestrova"
LangString TextSendTo ${LANG_RUSSIAN} "Преобразовать в AVI с помощью Kestrova"
LangString TextSendTo ${LANG_UKRAINIAN} "Перетворити на AVI за допомогою Kestrova"
LangString TextSendTo ${LANG_POLISH} "Konwertuj na AVI za pomocą programu Kestrova"
LangString TextSendTo ${LANG_TURKISH} "Kestrova ile AVI'ye dönüştür"
LangString TextSendTo ${LANG_JAPANESE} "Kestrova で AVI に変換"
LangString TextSendTo ${LANG_SIMPCHINESE} "使用 Kestrova 转换为 AVI"
LangString TextSendTo ${LANG_KOREAN} "Kestrova로 AVI 변환"

; One installation per user, changed all or nothing, and only by its own uninstaller; the running
; program named by its path. $Running, $Registered and $INSTDIR at run time.
; KESTROVA_SETUP_TEXTS LANGUAGE RUNNING_WHICH OFFER_UPDATE NOT_REGISTERED WRITE_FAILED MOVE_FAILED
!macro KESTROVA_SETUP_TEXTS LANG RUNNING_WHICH OFFER_UPDATE NOT_REGISTERED WRITE_FAILED MOVE_FAILED
  LangString TextRunningWhich ${LANG_${LANG}} "${RUNNING_WHICH}"
  LangString TextOfferUpdate ${LANG_${LANG}} "${OFFER_UPDATE}"
  LangString TextNotRegistered ${LANG_${LANG}} "${NOT_REGISTERED}"
  LangString TextWriteFailed ${LANG_${LANG}} "${WRITE_FAILED}"
  LangString TextMoveFailed ${LANG_${LANG}} "${MOVE_FAILED}"
!macroend

!insertmacro KESTROVA_SETUP_TEXTS ENGLISH \
  "Close the window of the ${P} started from $Running." \
  "${P} is already installed in $Registered.${NL}${NL}Yes: update that installation to ${V}.${NL}No: choose another folder; Setup then uninstalls ${P} from $Registered." \
  "This uninstaller does not belong to your ${P} installation, so it changes nothing; $INSTDIR stays as it is.${NL}${NL}To uninstall ${P}, use the list of installed apps in Windows Settings." \
  "Setup could not write $R9.${NL}${NL}Setup has put everything back as it was and stops. Close any program using that file, then run ${P} Setup again." \
  "Setup could not uninstall ${P} from $Registered, so it has not installed ${P} in $INSTDIR either: nothing has changed.${NL}${NL}Uninstall ${P} from $Registered first, or update it there."

!insertmacro KESTROVA_SETUP_TEXTS GERMAN \
  "Schließen Sie das Fenster von ${P}, das aus $Running gestartet wurde." \
  "${P} ist bereits in $Registered installiert.${NL}${NL}Ja: Diese Installation auf ${V} aktualisieren.${NL}Nein: Einen anderen Ordner wählen; Setup deinstalliert ${P} dann aus $Registered." \
  "Dieses Deinstallationsprogramm gehört nicht zu Ihrer Installation von ${P} und ändert daher nichts; $INSTDIR bleibt unverändert.${NL}${NL}Um ${P} zu deinstallieren, verwenden Sie die Liste der installierten Apps in den Windows-Einstellungen." \
  "Setup konnte $R9 nicht schreiben.${NL}${NL}Setup hat alles wiederhergestellt und bricht ab. Schließen Sie alle Programme, die diese Datei verwenden, und führen Sie ${P} Setup erneut aus." \
  "Setup konnte ${P} nicht aus $Registered deinstallieren und hat ${P} daher auch nicht in $INSTDIR installiert: Es wurde nichts geändert.${NL}${NL}Deinstallieren Sie ${P} zuerst aus $Registered, oder aktualisieren Sie es dort."

!insertmacro KESTROVA_SETUP_TEXTS FRENCH \
  "Fermez la fenêtre de ${P} lancé depuis $Running." \
  "${P} est déjà installé dans $Registered.${NL}${NL}Oui : mettre à jour cette installation vers la version ${V}.${NL}Non : choisir un autre dossier ; ${P} sera alors désinstallé de $Registered." \
  "Ce programme de désinstallation n'appartient pas à votre installation de ${P} ; il ne modifie donc rien et $INSTDIR reste tel quel.${NL}${NL}Pour désinstaller ${P}, utilisez la liste des applications installées dans les Paramètres de Windows." \
  "Le programme d'installation n'a pas pu écrire $R9.${NL}${NL}Il a tout remis en l'état et s'arrête. Fermez tout programme qui utilise ce fichier, puis relancez l'installation de ${P}." \
  "Le programme d'installation n'a pas pu désinstaller ${P} de $Registered ; il n'a donc pas non plus installé ${P} dans $INSTDIR : rien n'a changé.${NL}${NL}Désinstallez d'abord ${P} de $Registered, ou mettez-le à jour à cet endroit."

!insertmacro KESTROVA_SETUP_TEXTS SPANISH \
  "Cierre la ventana de ${P} iniciado desde $Running." \
  "${P} ya está instalado en $Registered.${NL}${NL}Sí: actualizar esa instalación a la versión ${V}.${NL}No: elegir otra carpeta; el programa de instalación desinstalará entonces ${P} de $Registered." \
  "Este desinstalador no pertenece a su instalación de ${P}, así que no cambia nada; $INSTDIR queda como está.${NL}${NL}Para desinstalar ${P}, use la lista de aplicaciones instaladas en la Configuración de Windows." \
  "El programa de instalación no pudo escribir $R9.${NL}${NL}Ha dejado todo como estaba y se detiene. Cierre cualquier programa que use ese archivo y vuelva a ejecutar la instalación de ${P}." \
  "El programa de instalación no pudo desinstalar ${P} de $Registered, así que tampoco ha instalado ${P} en $INSTDIR: no ha cambiado nada.${NL}${NL}Desinstale primero ${P} de $Registered o actualícelo allí."

!insertmacro KESTROVA_SETUP_TEXTS ITALIAN \
  "Chiudi la finestra di ${P} avviato da $Running." \
  "${P} è già installato in $Registered.${NL}${NL}Sì: aggiorna quell'installazione alla versione ${V}.${NL}No: scegli un'altra cartella; il programma di installazione disinstallerà poi ${P} da $Registered." \
  "Questo programma di disinstallazione non appartiene alla tua installazione di ${P}, quindi non modifica nulla; $INSTDIR resta com'è.${NL}${NL}Per disinstallare ${P}, usa l'elenco delle app installate nelle Impostazioni di Windows." \
  "Il programma di installazione non è riuscito a scrivere $R9.${NL}${NL}Ha ripristinato tutto com'era e si ferma. Chiudi i programmi che usano quel file, quindi esegui di nuovo l'installazione di ${P}." \
  "Il programma di installazione non è riuscito a disinstallare ${P} da $Registered, quindi non ha installato ${P} neppure in $INSTDIR: non è cambiato nulla.${NL}${NL}Disinstalla prima ${P} da $Registered, oppure aggiornalo lì."

!insertmacro KESTROVA_SETUP_TEXTS PORTUGUESEBR \
  "Feche a janela do ${P} iniciado a partir de $Running." \
  "O ${P} já está instalado em $Registered.${NL}${NL}Sim: atualizar essa instalação para a versão ${V}.${NL}Não: escolher outra pasta; o instalador então desinstala o ${P} de $Registered." \
  "Este desinstalador não pertence à sua instalação do ${P}; por isso não altera nada, e $INSTDIR fica como está.${NL}${NL}Para desinstalar o ${P}, use a lista de aplicativos instalados nas Configurações do Windows." \
  "O instalador não conseguiu gravar $R9.${NL}${NL}Ele deixou tudo como estava e parou. Feche os programas que usam esse arquivo e execute o instalador do ${P} novamente." \
  "O instalador não conseguiu desinstalar o ${P} de $Registered e, por isso, também não instalou o ${P} em $INSTDIR: nada foi alterado.${NL}${NL}Desinstale primeiro o ${P} de $Registered ou atualize-o lá."

!insertmacro KESTROVA_SETUP_TEXTS RUSSIAN \
  "Закройте окно ${P}, запущенной из $Running." \
  "${P} уже установлена в $Registered.${NL}${NL}Да: обновить эту установку до версии ${V}.${NL}Нет: выбрать другую папку; затем программа установки удалит ${P} из $Registered." \
  "Эта программа удаления не относится к вашей установке ${P}, поэтому ничего не меняет; $INSTDIR остаётся как есть.${NL}${NL}Чтобы удалить ${P}, воспользуйтесь списком установленных приложений в параметрах Windows." \
  "Программе установки не удалось записать $R9.${NL}${NL}Она вернула всё как было и останавливается. Закройте программы, использующие этот файл, и снова запустите установку ${P}." \
  "Программе установки не удалось удалить ${P} из $Registered, поэтому она не установила ${P} и в $INSTDIR: ничего не изменилось.${NL}${NL}Сначала удалите ${P} из $Registered или обновите её там."

!insertmacro KESTROVA_SETUP_TEXTS UKRAINIAN \
  "Закрийте вікно ${P}, запущеної з $Running." \
  "${P} уже інстальовано в $Registered.${NL}${NL}Так: оновити цю інсталяцію до версії ${V}.${NL}Ні: вибрати іншу папку; тоді програма інсталяції видалить ${P} з $Registered." \
  "Ця програма видалення не належить до вашої інсталяції ${P}, тому нічого не змінює; $INSTDIR залишається як є.${NL}${NL}Щоб видалити ${P}, скористайтеся списком інстальованих програм у параметрах Windows." \
  "Програмі інсталяції не вдалося записати $R9.${NL}${NL}Вона повернула все як було і зупиняється. Закрийте програми, що використовують цей файл, і знову запустіть інсталяцію ${P}." \
  "Програмі інсталяції не вдалося видалити ${P} з $Registered, тому вона не інсталювала ${P} і в $INSTDIR: нічого не змінилося.${NL}${NL}Спершу видаліть ${P} з $Registered або оновіть програму там."

!insertmacro KESTROVA_SETUP_TEXTS POLISH \
  "Zamknij okno programu ${P} uruchomionego z $Running." \
  "Program ${P} jest już zainstalowany w $Registered.${NL}${NL}Tak: zaktualizuj tę instalację do wersji ${V}.${NL}Nie: wybierz inny folder; instalator odinstaluje wtedy program ${P} z $Registered." \
  "Ten deinstalator nie należy do Twojej instalacji programu ${P}, więc niczego nie zmienia; $INSTDIR pozostaje bez zmian.${NL}${NL}Aby odinstalować program ${P}, użyj listy zainstalowanych aplikacji w Ustawieniach systemu Windows." \
  "Instalator nie mógł zapisać $R9.${NL}${NL}Przywrócił wszystko do poprzedniego stanu i kończy działanie. Zamknij programy używające tego pliku, a następnie ponownie uruchom instalator programu ${P}." \
  "Instalator nie mógł odinstalować programu ${P} z $Registered, więc nie zainstalował go też w $INSTDIR: nic się nie zmieniło.${NL}${NL}Najpierw odinstaluj program ${P} z $Registered albo zaktualizuj go w tym miejscu."

!insertmacro KESTROVA_SETUP_TEXTS TURKISH \
  "$Running konumundan başlatılan ${P} penceresini kapatın." \
  "${P} zaten $Registered konumunda kurulu.${NL}${NL}Evet: Bu kurulumu ${V} sürümüne güncelle.${NL}Hayır: Başka bir klasör seçin; Kurulum ardından ${P} programını $Registered konumundan kaldırır." \
  "Bu kaldırma programı sizin ${P} kurulumunuza ait değil, bu yüzden hiçbir şeyi değiştirmez; $INSTDIR olduğu gibi kalır.${NL}${NL}${P} programını kaldırmak için Windows Ayarları'ndaki yüklü uygulamalar listesini kullanın." \
  "Kurulum $R9 dosyasını yazamadı.${NL}${NL}Kurulum her şeyi eski haline getirdi ve duruyor. Bu dosyayı kullanan programları kapatın, sonra ${P} Kurulumu'nu yeniden çalıştırın." \
  "Kurulum ${P} programını $Registered konumundan kaldıramadı, bu yüzden ${P} programını $INSTDIR konumuna da kurmadı: hiçbir şey değişmedi.${NL}${NL}Önce ${P} programını $Registered konumundan kaldırın veya orada güncelleyin."

!insertmacro KESTROVA_SETUP_TEXTS JAPANESE \
  "$Running から起動された ${P} のウィンドウを閉じてください。" \
  "${P} は既に $Registered にインストールされています。${NL}${NL}はい: そのインストールを ${V} に更新します。${NL}いいえ: 別のフォルダーを選択します。その後、セットアップは $Registered から ${P} をアンインストールします。" \
  "このアンインストーラーはお使いの ${P} のインストールのものではないため、何も変更しません。$INSTDIR はそのまま残ります。${NL}${NL}${P} をアンインストールするには、Windows の設定にあるインストール済みアプリの一覧を使用してください。" \
  "セットアップは $R9 を書き込めませんでした。${NL}${NL}セットアップはすべてを元に戻して終了します。このファイルを使用しているプログラムを閉じてから、もう一度 ${P} セットアップを実行してください。" \
  "セットアップは $Registered から ${P} をアンインストールできなかったため、$INSTDIR にも ${P} をインストールしていません。何も変更されていません。${NL}${NL}先に $Registered から ${P} をアンインストールするか、そこで更新してください。"

!insertmacro KESTROVA_SETUP_TEXTS SIMPCHINESE \
  "请关闭从 $Running 启动的 ${P} 窗口。" \
  "${P} 已安装在 $Registered 中。${NL}${NL}是：将该安装更新到 ${V}。${NL}否：选择其他文件夹；安装程序随后会从 $Registered 中卸载 ${P}。" \
  "此卸载程序不属于你的 ${P} 安装，因此不做任何更改；$INSTDIR 保持原样。${NL}${NL}若要卸载 ${P}，请使用 Windows 设置中的已安装应用列表。" \
  "安装程序无法写入 $R9。${NL}${NL}安装程序已将一切恢复原样并停止。请关闭正在使用该文件的程序，然后重新运行 ${P} 安装程序。" \
  "安装程序无法从 $Registered 中卸载 ${P}，因此也没有将 ${P} 安装到 $INSTDIR：没有任何更改。${NL}${NL}请先从 $Registered 中卸载 ${P}，或在该位置更新它。"

!insertmacro KESTROVA_SETUP_TEXTS KOREAN \
  "$Running에서 시작된 ${P} 창을 닫으십시오." \
  "${P}이(가) 이미 $Registered에 설치되어 있습니다.${NL}${NL}예: 해당 설치를 ${V}(으)로 업데이트합니다.${NL}아니요: 다른 폴더를 선택합니다. 그러면 설치 프로그램이 $Registered에서 ${P}을(를) 제거합니다." \
  "이 제거 프로그램은 사용자의 ${P} 설치에 속하지 않으므로 아무것도 변경하지 않습니다. $INSTDIR은(는) 그대로 유지됩니다.${NL}${NL}${P}을(를) 제거하려면 Windows 설정의 설치된 앱 목록을 사용하십시오." \
  "설치 프로그램이 $R9을(를) 쓸 수 없습니다.${NL}${NL}설치 프로그램이 모든 것을 원래대로 되돌리고 중지합니다. 이 파일을 사용하는 프로그램을 닫은 다음 ${P} 설치 프로그램을 다시 실행하십시오." \
  "설치 프로그램이 $Registered에서 ${P}을(를) 제거할 수 없어서 $INSTDIR에도 ${P}을(를) 설치하지 않았습니다. 아무것도 변경되지 않았습니다.${NL}${NL}먼저 $Registered에서 ${P}을(를) 제거하거나 그곳에서 업데이트하십시오."

!undef P
!undef V
!undef NL

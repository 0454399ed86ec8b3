#include "ui/ListProductView.h"

#include "app/WebLinkButton.h"
#include "catalog/Bundle.h"
#include "catalog/ProductBase.h"
#include "downloads/DownloadInstaller.h"
#include "ui/ButtonsCell.h"
#include "ui/ListBundleView.h"
#include "ui/Status.h"

namespace
{
constexpr int notSortableFlags = juce::TableHeaderComponent::notSortable; // 15
constexpr int notResizableFlags = juce::TableHeaderComponent::notResizable; // 29
constexpr int minimumColumnWidth = 50;
constexpr int largestColumnWidth = 400;

const juce::Colour cellTextColour { 0xffffffff };

bool isSortColumn (int columnId)
{
    return columnId == ListProductView::nameColumn
           || columnId == ListProductView::categoryColumn
           || columnId == ListProductView::versionColumn
           || columnId == ListProductView::statusColumn;
}

// Texts compare code point by code point; the status compares as an integer.
int compareSortKeys (int columnId, ProductBase& a, ProductBase& b)
{
    switch (columnId)
    {
        case ListProductView::nameColumn:
            return a.nameView.compare (b.nameView);
        case ListProductView::categoryColumn:
            return a.category.compare (b.category);
        case ListProductView::versionColumn:
            return a.installedVersion.compare (b.installedVersion);
        case ListProductView::statusColumn:
        {
            auto statusA = a.getStatus();
            auto statusB = b.getStatus();
            return statusA < statusB ? -1 : (statusA > statusB ? 1 : 0);
        }
        default:
            return 0;
    }
}
} // namespace

ListProductView::ListProductView()
    : table ({}, nullptr)
{
    addAndMakeVisible (table);
    table.setRowHeight (70);
    table.setMouseMoveSelectsRows (true);
    table.setOutlineThickness (1);
    table.setModel (this);

    auto& header = table.getHeader();
    header.addColumn ({}, thumbnailColumn, 160, minimumColumnWidth, largestColumnWidth, notSortableFlags);
    header.addColumn ("Name", nameColumn, 150, minimumColumnWidth, largestColumnWidth, notResizableFlags);
    header.addColumn ("Category", categoryColumn, 150, minimumColumnWidth, largestColumnWidth, notResizableFlags);
    header.addColumn ("Version", versionColumn, 60, minimumColumnWidth, largestColumnWidth, notResizableFlags);
    header.addColumn ("Status", statusColumn, 150, minimumColumnWidth, largestColumnWidth, notResizableFlags);
    header.addColumn ({}, buttonsColumn, 220, minimumColumnWidth, largestColumnWidth, notSortableFlags);
    header.addColumn ("Product Page", productPageColumn, 100, minimumColumnWidth, largestColumnWidth, notSortableFlags);
    header.setPopupMenuActive (false);
}

ListProductView::~ListProductView()
{
    table.setModel (nullptr);
    bundleView = nullptr;
}

void ListProductView::setProducts (juce::Array<ProductBase*>* newProducts)
{
    products = newProducts;
}

void ListProductView::sortByName()
{
    table.getHeader().setSortColumnId (nameColumn, true);
}

void ListProductView::refreshBundleViews (bool repaint)
{
    for (auto* view = this; view != nullptr; view = view->bundleView.get())
    {
        view->table.updateContent();

        if (repaint)
            view->table.repaint();
    }
}

void ListProductView::resized()
{
    table.setBounds (0, 0, getWidth(), getHeight());
}

int ListProductView::getNumRows()
{
    return products != nullptr ? products->size() : 0;
}

void ListProductView::paintRowBackground (juce::Graphics& g, int rowNumber, int, int, bool)
{
    if (rowNumber % 2 != 0)
        g.fillAll (baseColour);
    else
        g.fillAll (baseColour.withBrightness (0.1f));
}

void ListProductView::paintCell (juce::Graphics& g, int rowNumber, int columnId, int width, int height, bool)
{
    auto* product = getProduct (rowNumber);

    if (product == nullptr)
        return;

    if (columnId == thumbnailColumn)
    {
        auto box = juce::Rectangle<float> (0.0f, 0.0f, 0.8f * (float) width, 0.8f * (float) height)
                       .getSmallestIntegerContainer();
        g.drawImageWithin (product->thumbnail,
                           width / 2 - box.getWidth() / 2,
                           height / 2 - box.getHeight() / 2,
                           box.getWidth(),
                           box.getHeight(),
                           juce::RectanglePlacement::centred,
                           false);
        return;
    }

    juce::String text;

    if (columnId == nameColumn)
        text = product->nameView;
    else if (columnId == categoryColumn)
        text = product->category;
    else if (columnId == versionColumn)
        text = product->installedVersion;
    else
        return;

    g.setColour (cellTextColour);
    g.drawFittedText (text, 3, 0, juce::jmax (0, width - 6), juce::jmax (0, height), juce::Justification::centred, 1, 0.0f);
}

juce::Component* ListProductView::refreshComponentForCell (int rowNumber, int columnId, bool, juce::Component* existingComponentToUpdate)
{
    auto* product = getProduct (rowNumber);

    // The owner refreshes the table after every change of the array, so this
    // only guards against a stale row: the cell is left as it is.
    if (product == nullptr)
        return existingComponentToUpdate;

    if (columnId == statusColumn)
    {
        auto* status = dynamic_cast<Status*> (existingComponentToUpdate);

        if (status == nullptr)
        {
            delete existingComponentToUpdate;
            status = new Status();
        }

        if (auto* installer = product->downloadInstaller)
            installer->addChangeListener (this);

        status->update (rowNumber, product);
        return status;
    }

    if (columnId == buttonsColumn)
    {
        auto* cell = dynamic_cast<ButtonsCell*> (existingComponentToUpdate);

        if (cell == nullptr)
        {
            delete existingComponentToUpdate;
            cell = new ButtonsCell (this);
        }

        cell->update (rowNumber, product, dynamic_cast<ListBundleView*> (this) != nullptr);
        return cell;
    }

    if (columnId == productPageColumn)
    {
        auto* link = dynamic_cast<WebLinkButton*> (existingComponentToUpdate);

        if (link == nullptr)
        {
            delete existingComponentToUpdate;
            link = new WebLinkButton();
            link->setButtonText ("Link");
            link->setFont (juce::Font (16.0f), false, juce::Justification::centred);
        }

        link->setURL (juce::URL (product->productPage));
        return link;
    }

    delete existingComponentToUpdate;
    return nullptr;
}

void ListProductView::sortOrderChanged (int newSortColumnId, bool isForwards)
{
    if (products == nullptr)
        return;

    if (isSortColumn (newSortColumnId))
    {
        auto& array = *products;
        auto n = array.size();

        for (int i = 0; i < n; ++i)
        {
            for (int j = i + 1; j < n; ++j)
            {
                auto result = compareSortKeys (newSortColumnId, *array.getUnchecked (i), *array.getUnchecked (j));

                if ((isForwards && result > 0) || (! isForwards && result < 0))
                    array.swap (i, j);
            }
        }
    }

    table.updateContent();
}

void ListProductView::buttonClicked (juce::Button* button)
{
    if (products == nullptr)
        return;

    if (auto* downloadButton = dynamic_cast<DownloadButton*> (button))
    {
        auto* product = getProduct (downloadButton->row);

        if (product == nullptr || product->downloadInstaller == nullptr)
            return;

        downloadButton->setButtonText ("STOP");
        product->downloadInstaller->toggleDownload();
        table.updateContent();
    }
    else if (auto* bundleButton = dynamic_cast<BundleButton*> (button))
    {
        openBundle (bundleButton->row);
    }
}

void ListProductView::changeListenerCallback (juce::ChangeBroadcaster* source)
{
    if (dynamic_cast<DownloadInstaller*> (source) == nullptr)
        return;

    // The worker keeps only the row of the table that refreshed it last, and
    // the product may show in several tables; so find its row in this one.
    auto row = findRowOfInstaller (source);

    if (row < 0)
        return;

    auto* cell = dynamic_cast<ButtonsCell*> (table.getCellComponent (buttonsColumn, row));

    if (cell == nullptr)
        return;

    cell->downloadButton.setButtonText ("DOWNLOAD");
    table.updateContent();
}

ProductBase* ListProductView::getProduct (int row) const
{
    if (products == nullptr || ! juce::isPositiveAndBelow (row, products->size()))
        return nullptr;

    return products->getUnchecked (row);
}

int ListProductView::findRowOfInstaller (const juce::ChangeBroadcaster* installer) const
{
    if (products == nullptr)
        return -1;

    for (int row = 0; row < products->size(); ++row)
    {
        auto* product = products->getUnchecked (row);

        if (product != nullptr && product->downloadInstaller != nullptr && product->downloadInstaller == installer)
            return row;
    }

    return -1;
}

void ListProductView::openBundle (int row)
{
    auto* bundle = dynamic_cast<Bundle*> (getProduct (row));

    if (bundle == nullptr)
        return;

    auto newView = std::make_unique<ListBundleView>();
    auto* view = newView.get();

    if (bundleView != nullptr)
        bundleView->stopListeningToInstallers();

    bundleView = std::move (newView);

    view->setSize (1100, 400);
    view->products = &bundle->products;
    view->refreshBundleViews (false);

    juce::DialogWindow::LaunchOptions options;
    options.dialogTitle = bundle->name;
    options.dialogBackgroundColour = juce::Colours::grey;
    options.content.setNonOwned (view);
    options.componentToCentreAround = this;
    options.escapeKeyTriggersCloseButton = true;
    options.useNativeTitleBar = false;
    options.resizable = true;
    options.useBottomRightCornerResizer = true;

    auto* window = options.create();
    window->enterModalState (true, nullptr, true);
    view->dialogWindow = window;
}

void ListProductView::stopListeningToInstallers()
{
    for (auto* view = this; view != nullptr; view = view->bundleView.get())
    {
        if (view->products == nullptr)
            continue;

        for (auto* product : *view->products)
            if (product != nullptr && product->downloadInstaller != nullptr)
                product->downloadInstaller->removeChangeListener (view);
    }
}
